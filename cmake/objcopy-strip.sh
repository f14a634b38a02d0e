#!/bin/sh
# objcopy for the package's stripping step: stripped as Debian strips its packages' binaries,
# without the compiler's .comment and .note sections (the build id stays, for the -dbgsym
# package).
case " $* " in
*" --strip-unneeded "*) exec objcopy --remove-section=.comment --remove-section=.note "$@" ;;
esac
exec objcopy "$@"

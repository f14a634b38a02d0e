#!/usr/bin/env bash
# Builds the Debian package vintrel2_VERSION_ARCH.deb (and its debug symbols,
# vintrel2-dbgsym_VERSION_ARCH.ddeb) in build-deb/: a release build with the distribution's
# hardening flags, no tests. Fails unless lintian finds nothing to report and
# hardening-check finds every protection in both programs.
set -euo pipefail
cd "$(dirname "$0")/.."
# dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; devscripts: hardening-check.
scripts/ensure-deps.sh dpkg-dev lintian devscripts binutils

# The flags Debian builds its packages with (-g -O2 and the hardening), then CMake's Release
# flags after them: the package is optimised at -O3, with debug symbols for the -dbgsym package.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
rm -f build-deb/vintrel2_*.deb build-deb/vintrel2-dbgsym_*.ddeb
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DVINTREL_TESTS=OFF \
  -DVINTREL_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  "-DCMAKE_CXX_FLAGS=$CPPFLAGS $CXXFLAGS" "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS" >/dev/null
cmake --build build-deb -j "$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
package=$(ls build-deb/vintrel2_*.deb)

# lintian: nothing at all, not even at the informational level (--fail-on would pass those).
report=$(lintian --info --display-info --tag-display-limit 0 "$package" 2>&1 |
  grep -v '^running with root privileges is not recommended!$' || true)
if [ -n "$report" ]; then
  echo "lintian on $package:"$'\n'"$report" >&2
  exit 1
fi

# The C library's start files of Debian 12 carry no control-flow protection marks, so no
# program linked with them can carry them: there the marks are not asked for, and the code
# is checked for its landing pads (endbr64) instead.
checks=()
if ! grep -q IBT < <(readelf -n "$(g++ -print-file-name=Scrt1.o)"); then
  checks+=(--nocfprotection)
fi
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$package" "$unpacked"
for program in vintrel2 vintrel2-scan; do
  if ! checked=$(hardening-check "${checks[@]}" "$unpacked/usr/bin/$program"); then
    echo "$checked" >&2
    exit 1
  fi
  if [ ${#checks[@]} -gt 0 ] && [ "$(uname -m)" = x86_64 ] &&
    ! grep -q endbr64 < <(objdump -d "$unpacked/usr/bin/$program"); then
    echo "$program: built without control-flow protection" >&2
    exit 1
  fi
done
ls build-deb/vintrel2_*.deb build-deb/vintrel2-dbgsym_*.ddeb

#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a distribution would check:
# exactly the expected files, valid launcher and metainfo, compressed manual pages that
# render without warnings, the changelog, --version on both programs, and a completion that
# loads and completes.
# Arguments: the build folder, the project version.
set -euo pipefail
build=$1
version=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null

id=org.vintrel.Vintrel2
expected=(
  usr/bin/vintrel2
  usr/bin/vintrel2-scan
  usr/share/applications/$id.desktop
  usr/share/bash-completion/completions/vintrel2-scan
  usr/share/doc/vintrel2/changelog.gz
  usr/share/doc/vintrel2/copyright
  usr/share/icons/hicolor/scalable/apps/$id.svg
  usr/share/man/man1/vintrel2-scan.1.gz
  usr/share/man/man1/vintrel2.1.gz
  usr/share/metainfo/$id.metainfo.xml
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
actual=$(cd "$dest" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$actual" = "$wanted" ] || fail "installed files differ:"$'\n'"$(diff <(echo "$wanted") <(echo "$actual"))"

desktop-file-validate "$dest/usr/share/applications/$id.desktop" || fail "desktop file"
grep -q "^Exec=vintrel2 %f$" "$dest/usr/share/applications/$id.desktop" || fail "Exec line"
appstreamcli validate --no-net "$dest/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
  fail "metainfo: $(appstreamcli validate --no-net "$dest/usr/share/metainfo/$id.metainfo.xml")"
grep -q "<release version=\"$version\"" "$dest/usr/share/metainfo/$id.metainfo.xml" ||
  fail "metainfo release is not $version"

for page in vintrel2 vintrel2-scan; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$dest/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$dest/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "$version" ||
    fail "man page $page does not carry version $version"
done

# A native package's changelog: this version on top, and readable by dpkg's own parser.
zcat "$dest/usr/share/doc/vintrel2/changelog.gz" >"$dest/changelog"
top=$(sed -n 1p "$dest/changelog")
[ "$top" = "vintrel2 ($version) unstable; urgency=medium" ] || fail "changelog starts: $top"
if command -v dpkg-parsechangelog >/dev/null; then
  parsed=$(dpkg-parsechangelog -l "$dest/changelog" -S Version) ||
    fail "changelog does not parse"
  [ "$parsed" = "$version" ] || fail "changelog version $parsed"
fi

[ "$("$dest/usr/bin/vintrel2-scan" --version)" = "vintrel2-scan $version" ] || fail "scan --version"
[ "$("$dest/usr/bin/vintrel2" --version)" = "vintrel2 $version" ] || fail "window --version"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=none "$dest/usr/bin/vintrel2" --help |
  grep -q "^Usage: vintrel2" || fail "window --help"

# The completion, loaded into a plain bash, completes option names and option values.
completions=$(bash --norc --noprofile -c '
  source "$1"
  complete -p vintrel2-scan >/dev/null || exit 1
  COMP_WORDS=(vintrel2-scan --su); COMP_CWORD=1; _vintrel2_scan; echo "${COMPREPLY[*]}"
  COMP_WORDS=(vintrel2-scan --size ""); COMP_CWORD=2; _vintrel2_scan; echo "${COMPREPLY[*]}"
  COMP_WORDS=(vintrel2-scan --ver); COMP_CWORD=1; _vintrel2_scan; echo "${COMPREPLY[*]}"
' bash "$dest/usr/share/bash-completion/completions/vintrel2-scan") || fail "completion does not load"
[ "$completions" = $'--summary\ngreater: equal: less:\n--version' ] || fail "completion gave: $completions"
echo "install layout, launcher, metainfo, manual pages, versions and completion: fine"

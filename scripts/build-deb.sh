#!/usr/bin/env bash
# Builds the Debian package vintrel2_VERSION_ARCH.deb in build-deb/ (release build, no tests).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh
if ! dpkg -s dpkg-dev >/dev/null 2>&1; then # dpkg-shlibdeps computes the dependencies
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq dpkg-dev >/dev/null
fi
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DVINTREL_TESTS=OFF \
  -DVINTREL_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-deb -j "$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
ls build-deb/vintrel2_*.deb

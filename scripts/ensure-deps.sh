#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when missing, and
# those named as arguments (the package script's tools).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkgconf
  libicu-dev liburing-dev libgtest-dev libgmock-dev zlib1g-dev libzstd-dev
  qt6-base-dev libglib2.0-dev libfontconfig-dev
  xvfb xauth fonts-dejavu-core ncdu gdu
  openbox weston qt6-wayland x11-utils
  tzdata shared-mime-info dbus
  desktop-file-utils appstream man-db
  fonts-wine
  clang libclang-rt-14-dev
)
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Builds and starts the window, on FOLDER when one is given.
set -euo pipefail
args=("$@")
# The folder is taken from where the command was given, before the change of directory.
if [ ${#args[@]} -gt 0 ] && [ -n "${args[0]}" ] && [ "${args[0]#/}" = "${args[0]}" ]; then
  args[0]="$PWD/${args[0]}"
fi
cd "$(dirname "$0")"
scripts/ensure-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target vintrel2 vintrel2-scan
exec build/src/app/vintrel2 "${args[@]}"

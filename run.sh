#!/usr/bin/env bash
# Builds and starts the window, on FOLDER when one is given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target vintrel2 vintrel2-scan
exec build/src/app/vintrel2 "$@"

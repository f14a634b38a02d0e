#!/usr/bin/env bash
# Builds and starts the program on FOLDER.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target vintrel2-scan
if [ $# -eq 0 ]; then
  echo "Usage: ./run.sh FOLDER [OPTIONS]   (the window comes later; this runs vintrel2-scan)" >&2
  exit 2
fi
exec build/src/cli/vintrel2-scan "$@"

#!/usr/bin/env bash
# Builds everything and runs every test, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the walk's tests under ThreadSanitizer, then runs each
# fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh

jobs=$(nproc)
build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVINTREL_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

build build
ctest --test-dir build --output-on-failure --timeout 300 -j "$jobs"

build build-asan -DCMAKE_BUILD_TYPE=Debug -DVINTREL_SANITIZE=ON -DVINTREL_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --timeout 300 -j "$jobs"

# The read-ahead's threads, the walk that drives them and the sort keys' helper, under
# ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DVINTREL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug -DVINTREL_TSAN=ON \
  -DVINTREL_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target test_read_ahead test_folder_scanner \
  test_background_sort_keys
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure --timeout 300 \
  -R '^(ReadAhead|FolderScanner|BackgroundSortKeys)\.'

scripts/fuzz.sh "${VINTREL_FUZZ_SECONDS:-15}"

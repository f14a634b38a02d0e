#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer
# on) and runs each for SECONDS (default 60), starting from the corpus in fuzz/corpus.
# An input that breaks a target is kept in build-fuzz/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S . -B build-fuzz -G Ninja -DVINTREL_FUZZ=ON -DVINTREL_WERROR=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in wildcard text_readers registry_hive text_conversions saved_scan; do
  mkdir -p "$work/$target"
  # New inputs go to the scratch folder; the corpus in the tree only seeds the run.
  if build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$PWD/build-fuzz/$target-" "$work/$target" "fuzz/corpus/$target" \
      >"$work/$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/$target.log")"
  else
    echo "fuzz_$target broke a rule; the input is kept in build-fuzz/:"
    tail -n 40 "$work/$target.log"
    status=1
  fi
done
exit $status

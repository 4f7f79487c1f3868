#!/usr/bin/env bash
# Builds the libFuzzer targets (with AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz, or $BUILD, and runs each on a copy of its corpus: fuzz/run.sh [seconds, 10 each].
# Fails on any finding, kept in <build>/fuzz-findings/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build-fuzz}
"$root/scripts/setup.sh" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DSRJOIN_FUZZERS=ON -DSRJOIN_TESTS=OFF \
  -DSRJOIN_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" --target srjoin_fuzzers -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/fuzz-findings"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in text text_portable; do
  cp -r "$root/fuzz/corpus/${target%_portable}" "$work/$target"
  "$build/fuzz/fuzz_$target" "$work/$target" -max_total_time="${1:-10}" -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-findings/$target-" >"$work/log" 2>&1 || failed=1
  grep -E 'number_of_executed_units|ERROR|runtime error|does not hold|copy_to:|Test unit' \
    "$work/log" | sed "s/^/fuzz_$target: /" || true
done
exit "$failed"

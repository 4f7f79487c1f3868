#!/usr/bin/env bash
# Builds the libFuzzer targets (AddressSanitizer and UndefinedBehaviorSanitizer) and runs each
# one on its seed corpus.
#   fuzz/run.sh          15 seconds per target
#   fuzz/run.sh 600      600 seconds per target
# Build folder: build-fuzz, or $BUILD. The corpus is copied to a temporary folder first, so the
# inputs found on the way stay out of the repository. Fails on any finding (crash, sanitizer
# report, broken property, hang); the input is kept in <build>/fuzz-findings/ and shown in hex.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-15}
build=${BUILD:-$root/build-fuzz}
targets=(fuzz_path_names:path_names fuzz_text_reader:text_reader)

# clang with the libFuzzer runtime (Debian: clang and libclang-rt-14-dev), and cmake.
links_a_fuzzer() {
  printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' |
    clang++ -x c++ - -fsanitize=fuzzer,address,undefined -o /dev/null >/dev/null 2>&1
}
if ! command -v cmake >/dev/null || ! command -v clang++ >/dev/null || ! links_a_fuzzer; then
  echo "installing clang, libclang-rt-14-dev and cmake"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq clang libclang-rt-14-dev cmake make </dev/null
  links_a_fuzzer || { echo "clang++ cannot link a libFuzzer target" >&2; exit 1; }
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DSRJOIN_FUZZERS=ON -DSRJOIN_TESTS=OFF \
  -DSRJOIN_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" --target srjoin_fuzzers -j "$(nproc 2>/dev/null || echo 2)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz-findings"
mkdir -p "$findings"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  corpus="$work/${entry#*:}"
  cp -r "$root/fuzz/corpus/${entry#*:}" "$corpus"
  log="$work/$target.log"
  status=0
  "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$target: ${executions:-?} executions (limit ${seconds} s), corpus $(ls "$corpus" | wc -l) inputs"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "$target: FINDING (exit status $status)" >&2
    grep -E 'ERROR|runtime error|property does not hold|SUMMARY|Test unit written' "$log" >&2 || tail -40 "$log" >&2
    for input in $(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log"); do
      echo "input $input:" >&2
      od -An -tx1 -v "$input" >&2
    done
  fi
done
exit "$failed"

#!/usr/bin/env bash
# Builds Srjoin with its tests and runs them all: the tables of the built tool, the checking
# core's table, the benchmark's quick run (outputs checked), the CMake package in a firmware
# build, the power cut.
#   scripts/test.sh              in build/, warnings as errors
#   scripts/test.sh --sanitize   in build-sanitize/, under AddressSanitizer and
#                                UndefinedBehaviorSanitizer, with the text scan of CPUs without
#                                SSE2 (which the other CPUs' runs use too)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --tests

build="$root/build"
# Without GoogleTest the build would leave the tests out with a warning; here that is an error.
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_WARNINGS_AS_ERRORS=ON -DSRJOIN_TESTS=ON
  -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-sanitize"
  options+=(-DSRJOIN_SANITIZE=ON -DSRJOIN_PORTABLE_SCAN=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs"

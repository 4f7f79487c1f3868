#!/usr/bin/env bash
# Builds Srjoin and runs every test (unit tests and end-to-end tests of the built tool).
#   scripts/test.sh              build in build/, warnings as errors
#   scripts/test.sh --sanitize   the same in build-sanitize/, with AddressSanitizer and
#                                UndefinedBehaviorSanitizer
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" --tests

build="$root/build"
# Without GoogleTest the build would leave the tests out with a warning; here that is an error.
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_WARNINGS_AS_ERRORS=ON -DSRJOIN_TESTS=ON
  -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-sanitize"
  options+=(-DSRJOIN_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" "${options[@]}"
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs"

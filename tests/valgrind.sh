#!/usr/bin/env bash
# The table of the tool's promises again, every run under Valgrind's memcheck: an invalid access,
# a use of uninitialised memory or a leak gives 99 for the exit code, failing its row.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-valgrind"
"$root/scripts/setup.sh" --tests valgrind
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_TESTS=ON \
  -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
rm -f "$build"/memcheck-*.log
status=0
SRJOIN_RUNNER="valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect
  --error-exitcode=99 --log-file=$build/memcheck-%p.log" \
  ctest --test-dir "$build" -R '^Rows/' --no-tests=error -j "$(nproc 2>/dev/null || echo 2)" ||
  status=$?
grep -l "ERROR SUMMARY: [1-9]" "$build"/memcheck-*.log | xargs -r cat >&2 || true
echo "valgrind: $(ls "$build"/memcheck-*.log | wc -l) runs under memcheck"
exit "$status"

#!/usr/bin/env bash
# The table of the tool's promises again, every run under Valgrind's memcheck: an invalid access,
# a use of uninitialised memory or a leak gives 99 for the exit code, failing its row.
#   scripts/test-valgrind.sh [BUILD]   the tests and the tool of BUILD (default build/, scripts/test.sh's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
"$root/scripts/setup.sh" valgrind
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# The C library's loader reads the strings of a converter's search path a word at a time
# (iconv_open loading EUC-JP, for one): nothing of the tool's.
printf '{\n loader\n Memcheck:Addr8\n fun:strncmp\n fun:is_dst\n}\n' >"$logs/loader.supp"
status=0
SRJOIN_RUNNER="valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect
  --suppressions=$logs/loader.supp --error-exitcode=99 --log-file=$logs/memcheck-%p.log" \
  ctest --test-dir "$build" -R '^Rows/' --no-tests=error -j "$(nproc 2>/dev/null || echo 2)" ||
  status=$?
grep -l "ERROR SUMMARY: [1-9]" "$logs"/memcheck-*.log | xargs -r cat >&2 || true
echo "valgrind: $(ls "$logs"/memcheck-*.log | wc -l) runs under memcheck"
exit "$status"

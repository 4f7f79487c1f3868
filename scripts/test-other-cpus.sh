#!/usr/bin/env bash
# Srjoin and Srcheck cross-built for aarch64 and s390x (big-endian), which scan text 8 bytes at a
# time, and the end-to-end tables of BUILD run against each under qemu-user.
#   scripts/test-other-cpus.sh [BUILD]   the tests of BUILD (default build/, scripts/test.sh's);
#                                        the tools in build-aarch64 and build-s390x
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
"$root/scripts/setup.sh" qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu
jobs=$(nproc 2>/dev/null || echo 2)
# The cross sysroots hold no iconv converters, so the rows whose terminal converts the tool's
# texts skip.
for cpu in aarch64 s390x; do
  echo "== $cpu: the tool cross-built, the tables run against it under qemu-$cpu"
  cmake -S "$root" -B "$root/build-$cpu" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSRJOIN_WARNINGS_AS_ERRORS=ON -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR="$cpu" \
    -DCMAKE_CXX_COMPILER="$cpu-linux-gnu-g++" >/dev/null
  cmake --build "$root/build-$cpu" -j "$jobs" --target Srjoin Srcheck >/dev/null
  SRJOIN_EXE="$root/build-$cpu/run/Srjoin" SRJOIN_CHECK_EXE="$root/build-$cpu/check/Srcheck" \
    SRJOIN_RUNNER="qemu-$cpu -L /usr/$cpu-linux-gnu" \
    SRJOIN_NO_CONVERTERS=1 ctest --test-dir "$build" --output-on-failure --no-tests=error \
    -j "$jobs" -R '^(Rows|Runs)/'
done

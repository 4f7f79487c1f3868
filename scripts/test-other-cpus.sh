#!/usr/bin/env bash
# The text scan that every CPU without SSE2 takes (8 bytes at a time), under the tests the SSE2
# scan meets: a native build with it forced on, whose unit tests and text fuzzer hold it to the
# model of the text translation; and Srjoin cross-built for aarch64 and s390x (big-endian), with
# that build's end-to-end tests run against each under qemu-user.
#   scripts/test-other-cpus.sh     builds in build-portable, build-aarch64 and build-s390x
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cpus=(aarch64 s390x)
"$root/scripts/setup.sh" --tests qemu-user g++-aarch64-linux-gnu g++-s390x-linux-gnu
jobs=$(nproc 2>/dev/null || echo 2)
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_WARNINGS_AS_ERRORS=ON)

echo "== x86-64 with the portable scan: the unit tests and the text fuzzer"
native="$root/build-portable"
cmake -S "$root" -B "$native" "${options[@]}" -DSRJOIN_PORTABLE_SCAN=ON -DSRJOIN_TESTS=ON \
  -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON >/dev/null
cmake --build "$native" -j "$jobs"
# The SSE2 scan leaves pmovmskb in the code of text_file.cpp.
if objdump -d "$native/textio/CMakeFiles/srjoin_textio.dir/text_file.cpp.o" | grep -q pmovmskb; then
  echo "test-other-cpus: $native still scans with SSE2" >&2
  exit 1
fi
ctest --test-dir "$native" --output-on-failure --no-tests=error -j "$jobs" -R '^(CopyText|Names)\.'
"$root/fuzz/run.sh" --portable-scan 10

# The runs of the tool, the table's and the faults', are what is repeated. The cross sysroots hold
# no iconv converters, so the tool there shows its texts on a UTF-8 terminal as the bytes they
# are (its way where a conversion is missing): those rows skip.
for cpu in "${cpus[@]}"; do
  echo "== $cpu: the tool cross-built, the end-to-end tests run against it under qemu-$cpu"
  build="$root/build-$cpu"
  cmake -S "$root" -B "$build" "${options[@]}" -DCMAKE_SYSTEM_NAME=Linux \
    -DCMAKE_SYSTEM_PROCESSOR="$cpu" -DCMAKE_CXX_COMPILER="$cpu-linux-gnu-g++" >/dev/null
  cmake --build "$build" -j "$jobs" --target Srjoin
  SRJOIN_EXE="$build/run/Srjoin" SRJOIN_RUNNER="qemu-$cpu -L /usr/$cpu-linux-gnu" \
    SRJOIN_NO_CONVERTERS=1 ctest --test-dir "$native" --output-on-failure --no-tests=error \
    -j "$jobs" -R '^(Rows|Runs)[/.]'
done

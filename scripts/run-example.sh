#!/usr/bin/env bash
# Builds Srjoin and merges the sample S-record files in examples/ (in a scratch copy, so the
# samples stay as they are), then shows what it printed, its exit code and the merged file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" --target Srjoin >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root"/examples/tst1.mot "$root"/examples/tst2.mot "$root"/examples/tst3.mot "$scratch"
cd "$scratch"

echo "\$ Srjoin tst1.mot+tst2.mot+tst3.mot merged"
status=0
"$root/build/run/Srjoin" tst1.mot+tst2.mot+tst3.mot merged > console.txt || status=$?
# The tool prints Shift-JIS with CR LF; shown here in the terminal's UTF-8.
iconv -f CP932 -t UTF-8 console.txt | tr -d '\r'
echo "(exit code $status)"
echo
echo "--- merged.mot (CR LF line breaks) ---"
tr -d '\r' < merged.mot
echo "--- files left in the folder: $(ls | grep -v console.txt | tr '\n' ' ')"
exit "$status"

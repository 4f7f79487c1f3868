#!/usr/bin/env bash
# Builds Srjoin and merges the sample S-record files in examples/ (in a scratch copy, so the
# samples stay as they are), then shows what it printed, its exit code and the merged file.
# Needs CMake and a C++20 compiler only (installed when missing); the tests are not built here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc 2>/dev/null || echo 2)" --target Srjoin >/dev/null
tool="$root/build/run/Srjoin"
echo "Srjoin is built: $tool"
echo "It is not installed, so not on PATH: run it by that path, or install it (README.md, Install)."
echo

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root"/examples/tst1.mot "$root"/examples/tst2.mot "$root"/examples/tst3.mot "$scratch"
cd "$scratch"

echo "In a scratch copy of examples/:"
echo "\$ $tool tst1.mot+tst2.mot+tst3.mot merged"
status=0
"$tool" tst1.mot+tst2.mot+tst3.mot merged || status=$?
echo "(exit code $status)"
echo
echo "--- merged.mot (CR LF line breaks) ---"
tr -d '\r' < merged.mot
echo "--- files left in the folder: $(ls | tr '\n' ' ')"
exit "$status"

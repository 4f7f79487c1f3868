#!/usr/bin/env bash
# Srcheck's throughput and memory on a list of 3 x 100 MiB of S3 records whose addresses do not
# overlap (one pass), as bench/README.md reports them: MB of records a second of CPU (user and
# system), and the peak resident set, medians of the runs after a warm-up that fills the page
# cache. It builds nothing: the build folder must hold Srcheck and the benchmark's tools (a
# scripts/test.sh build does, or one configured with -DSRJOIN_BENCHMARKS=ON).
#   bench/check.sh [--build-dir DIR] [--runs N] [--size SIZE]
#     --build-dir DIR   the build to take the programs from (default build/)
#     --runs N          timed runs (default 5)
#     --size SIZE       of each file, as srjoin_make_srecords takes it (default 100M)
# Every run must exit 0 and report neither errors nor notices; timings fail nothing.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
runs=5
size=100M
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build=$2; shift ;;
    --runs) runs=$2; shift ;;
    --size) size=$2; shift ;;
    *) echo "check.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
build=$(realpath "$build")
srcheck=$build/check/Srcheck
make_srecords=$build/bench/srjoin_make_srecords
measure=$build/bench/srjoin_bench_measure
for program in "$srcheck" "$make_srecords" "$measure"; do
  [ -x "$program" ] || { echo "check.sh: $program is missing (build it first)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/srcheck-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# S3 records from three seeds: three far-apart stretches of the 32-bit space.
for seed in 1 2 3; do
  "$make_srecords" --type 3 --seed "$seed" "$size" "$seed.mot"
done
bytes=$(cat 1.mot 2.mot 3.mot | wc -c)

for ((run = 0; run <= runs; run++)); do
  report=runs.report
  [ "$run" -gt 0 ] || report=warmup.report
  "$measure" "$report" "$srcheck" 1.mot+2.mot+3.mot >printed || true
  tail -n 1 printed | grep -qx 'errors 0, notices 0' && [ "$(awk 'END { print $5 }' "$report")" = 0 ] ||
    { echo "check.sh: Srcheck did not pass the files clean:" >&2; cat printed >&2; exit 1; }
done

median() {
  sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
cpu=$(awk '{ print $2 + $3 }' runs.report | median)
wall=$(awk '{ print $1 }' runs.report | median)
rss=$(awk '{ print $4 }' runs.report | median)
echo "Srcheck: $srcheck"
echo "machine: $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo);" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')"
awk -v b="$bytes" -v c="$cpu" -v w="$wall" -v r="$rss" -v n="$runs" 'BEGIN {
  printf "3 x %.0f MiB, medians of %d runs: cpu %.3f s, wall %.3f s, %.0f MB/s of cpu, peak RSS %d KiB\n",
    b / 3 / 1048576, n, c / 1e6, w / 1e6, b / c, r }'

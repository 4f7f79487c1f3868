#!/usr/bin/env bash
# Srjoin's throughput against what the shell does for the same bytes, on generated S-record
# files, in one run: "Srjoin a+b+c out" and the floors
#   cat        cat a b c > out
#   cat exec   exec cat a b c > out            (one process: the start-up floor)
#   cat + mv   cat a b c > work && mv work out   (one pass and a rename)
#   durable    cat a b c > work && sync work && mv work out && sync .
#              (one pass, flushed, renamed and the rename flushed: what Srjoin does)
# each timed twice, once with the output deleted beforehand and once with an old output in its
# place (a rebuild), taken in turn (A B C D E, B C D E A, C D E A B ...) after one warm-up round
# that also fills the page cache, and reported as medians: user, system and wall time, peak
# resident set (from wait4), and the ratios. The LF and CR LF cases of one size take turns as
# well, round by round, so that both meet the machine in the same state.
#
#   bench/run.sh            3 x 100 MiB LF and CR LF, 3 x 100 KiB LF
#   bench/run.sh --quick    3 x 1 MiB LF and CR LF, 3 x 100 KiB, 2 runs: a smoke test
# Options:
#   --runs N          timed rounds per case (default 21; 2 with --quick)
#   --build-dir DIR   where to build (default build-bench-release, a Release build)
#   --no-build        use the build in --build-dir as it is
#   --srjoin PATH     time this Srjoin instead of the one built
#   --also PATH       time a second Srjoin beside the first (compare two builds in one run)
#   --dir DIR         put the generated files here (default: a new folder under $TMPDIR or /tmp,
#                     removed at the end)
#
# Every run of Srjoin must exit 0, and its output is compared byte for byte with the expected
# text computed here with awk (the inputs without their termination records, the last
# termination record at the end, CR LF line breaks); a difference fails the script. Timings
# never do.
set -euo pipefail
export LC_ALL=C

root=$(cd "$(dirname "$0")/.." && pwd)
quick=0
runs=""
build="$root/build-bench-release"
do_build=1
srjoin=""
also=""
work_dir=""

while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --runs) runs=$2; shift ;;
    --build-dir) build=$2; shift ;;
    --no-build) do_build=0 ;;
    --srjoin) srjoin=$2; shift ;;
    --also) also=$2; shift ;;
    --dir) work_dir=$2; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

build=$(realpath -m "$build")
if [ "$do_build" = 1 ]; then
  "$root/scripts/setup.sh" libbenchmark-dev
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSRJOIN_BENCHMARKS=ON \
    -DSRJOIN_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" \
    --target Srjoin srjoin_make_srecords srjoin_bench_measure >/dev/null
fi
srjoin=$(realpath "${srjoin:-$build/run/Srjoin}")
[ -z "$also" ] || also=$(realpath "$also")
make_srecords=$build/bench/srjoin_make_srecords
measure=$build/bench/srjoin_bench_measure
for program in "$srjoin" "$make_srecords" "$measure" ${also:+"$also"}; do
  if [ ! -x "$program" ]; then
    echo "run.sh: $program is missing (build it, or drop --no-build)" >&2
    exit 2
  fi
done

if [ -z "$work_dir" ]; then
  work_dir=$(mktemp -d "${TMPDIR:-/tmp}/srjoin-bench.XXXXXX")
  trap 'rm -rf "$work_dir"' EXIT
fi
mkdir -p "$work_dir"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The checksum of every record: the ones' complement of the low byte of the sum of the bytes
# from the count to the last data byte. Prints the bad lines, if any.
check_records() {
  awk '
    BEGIN { for (i = 0; i < 16; i++) hex[substr("0123456789ABCDEF", i + 1, 1)] = i }
    {
      line = $0; sub(/\r$/, "", line)
      sum = 0
      for (i = 3; i < length(line) - 1; i += 2)
        sum += hex[substr(line, i, 1)] * 16 + hex[substr(line, i + 1, 1)]
      got = hex[substr(line, length(line) - 1, 1)] * 16 + hex[substr(line, length(line), 1)]
      count = hex[substr(line, 3, 1)] * 16 + hex[substr(line, 4, 1)]
      if (line !~ /^S[0-9]([0-9A-F][0-9A-F])+$/ || (255 - sum % 256) != got ||
          length(line) != 4 + 2 * count) { print FILENAME ":" NR ": " $0; bad = 1 }
    }
    END { exit bad }' "$@"
}

# What Srjoin must write: every line with its CRs dropped, the termination records (S7, S8,
# S9, also with a lower-case s) held back and only the last one written at the end, or the
# S8 record S804FFDE40DE when there was none; CR LF line breaks. (The generated files have
# neither Ctrl-Z nor a last line without a line break.)
expected_output() {
  awk '
    { gsub(/\r/, "") }
    /^[Ss][789]/ { held = $0; next }
    { printf "%s\r\n", $0 }
    END { if (held == "") held = "S804FFDE40DE"; printf "%s\r\n", held }' "$@"
}

median() {
  sort -n | awk '{ v[NR] = $1 }
    END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

names=(srjoin cat cat_exec cat_mv durable)
states=(absent present)
[ -z "$also" ] || names+=(also)

# prepare_cases SIZE DIR CRLF [DIR CRLF]: in each folder three inputs as three different tools
# would make them (S1/S9, S2/S8 and S3/S7 records), and the expected output. The files of the
# cases are made in turn (a of each case, then b, then c): the page cache that a file gets
# depends on when it was written, and the cases must not differ in that. (set -e does not hold
# inside a function called before ||: every step checks itself.)
prepare_cases() {
  local size=$1 input type i
  shift
  local -a dirs=() crlfs=()
  while [ $# -gt 0 ]; do
    dirs+=("$1")
    crlfs+=("$2")
    mkdir -p "$1" || return 1
    shift 2
  done
  for type in 1 2 3; do
    input=$(echo "a b c" | cut -d ' ' -f "$type").mot
    for i in "${!dirs[@]}"; do
      "$make_srecords" --type "$type" --seed "$type" ${crlfs[$i]:+--crlf} "$size" \
        "${dirs[$i]}/$input" || return 1
    done
  done
  for i in "${!dirs[@]}"; do
    (cd "${dirs[$i]}" &&
      expected_output a.mot b.mot c.mot > expected.mot &&
      cp expected.mot old.mot &&  # the old output of a rebuild
      sync a.mot b.mot c.mot expected.mot old.mot &&  # no write-back of them during the timings
      rm -f ./*.warmup ./*.report) || return 1
    if [ "$(stat -c %s "${dirs[$i]}/a.mot")" -le $((1024 * 1024 + 100)) ] &&
       ! (cd "${dirs[$i]}" && check_records a.mot b.mot c.mot); then
      echo "the generated records are not valid" >&2
      return 1
    fi
  done
}

# run_one LABEL NAME REPORT STATE, in the case's folder: one command, with the output deleted
# first (STATE absent) or an old output, on the disk, in its place (present).
run_one() {
  rm -f work
  if [ "$4" = absent ]; then
    rm -f out.mot
  elif [ ! -f out.mot ]; then
    cp old.mot out.mot && sync out.mot
  fi
  case "$2" in
    srjoin) "$measure" "$3" "$srjoin" a.mot+b.mot+c.mot out >/dev/null ;;
    also) "$measure" "$3" "$also" a.mot+b.mot+c.mot out >/dev/null ;;
    cat) "$measure" "$3" sh -c 'cat a.mot b.mot c.mot > out.mot' ;;
    cat_exec) "$measure" "$3" sh -c 'exec cat a.mot b.mot c.mot > out.mot' ;;
    cat_mv) "$measure" "$3" sh -c 'cat a.mot b.mot c.mot > work && mv work out.mot' ;;
    durable) "$measure" "$3" sh -c \
      'cat a.mot b.mot c.mot > work && sync work && mv work out.mot && sync .' ;;
  esac || fail "$1: $2 failed"
}

check_output() {  # check_output LABEL NAME WHEN
  if ! cmp -s out.mot expected.mot; then
    fail "$1: the output of $2 ($3) differs from the expected bytes"
    cmp out.mot expected.mot | head -3 >&2 || true
  fi
}

# run_round LABEL DIR REPORT_SUFFIX CHECK ROUND: every command once in each state, in turn,
# starting with a different one each round; Srjoin's output checked when CHECK is 1. A present
# output is the previous command's, flushed. (On a virtual machine that hands free memory back to
# its host, the Srjoin that ran first with the output present took 2 to 4 times as long, whichever
# build it was, most of it in its writes into the page cache: no command keeps that place.)
run_round() {
  local label=$1 dir=$2 suffix=$3 check=$4 round=$5 name state when=warm-up i
  [ "$suffix" = .warmup ] || when="last run"
  local -a order=()
  for i in "${!names[@]}"; do
    order+=("${names[$(((i + round) % ${#names[@]}))]}")
  done
  pushd "$dir" >/dev/null
  for state in "${states[@]}"; do
    for name in "${order[@]}"; do
      run_one "$label" "$name" "$name-$state$suffix" "$state"
      if [ "$check" = 1 ]; then
        case "$name" in srjoin|also) check_output "$label" "$name" "$when, output $state" ;; esac
      fi
      [ ! -f out.mot ] || sync out.mot
    done
  done
  rm -f out.mot work
  popd >/dev/null
}

report_case() {  # report_case LABEL DIR RUNS
  local label=$1 dir=$2 case_runs=$3 name state
  pushd "$dir" >/dev/null
  for name in srjoin ${also:+also}; do
    if awk '$5 != 0 { bad = 1 } END { exit !bad }' "$name"-*.warmup "$name"-*.report; then
      fail "$label: $name did not exit with 0 on every run"
    fi
  done
  local input_bytes
  input_bytes=$(stat -c %s a.mot b.mot c.mot | awk '{ n += $1 } END { print n }')
  for state in "${states[@]}"; do
    echo
    echo "### $label, output $state: 3 inputs, $((input_bytes / 1024)) KiB in all," \
      "medians of $case_runs runs"
    echo
    echo "| command | user s | sys s | cpu s | wall s | peak RSS KiB | cpu / cat |" \
      "cpu / cat + mv | wall / cat exec | wall / durable |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    local cat_cpu cat_mv_cpu cat_exec_wall durable_wall
    cat_cpu=$(awk '{ print $2 + $3 }' "cat-$state.report" | median)
    cat_mv_cpu=$(awk '{ print $2 + $3 }' "cat_mv-$state.report" | median)
    cat_exec_wall=$(awk '{ print $1 }' "cat_exec-$state.report" | median)
    durable_wall=$(awk '{ print $1 }' "durable-$state.report" | median)
    for name in "${names[@]}"; do
      local report="$name-$state.report" user sys cpu wall rss shown
      user=$(awk '{ print $2 }' "$report" | median)
      sys=$(awk '{ print $3 }' "$report" | median)
      cpu=$(awk '{ print $2 + $3 }' "$report" | median)
      wall=$(awk '{ print $1 }' "$report" | median)
      rss=$(awk '{ print $4 }' "$report" | median)
      case "$name" in
        srjoin) shown="Srjoin a+b+c out" ;;
        also) shown="Srjoin ($also)" ;;
        cat) shown="cat" ;;
        cat_exec) shown="cat exec" ;;
        cat_mv) shown="cat + mv" ;;
        durable) shown="durable (+ sync)" ;;
      esac
      awk -v n="$shown" -v u="$user" -v s="$sys" -v c="$cpu" -v w="$wall" -v r="$rss" \
        -v cc="$cat_cpu" -v ccp="$cat_mv_cpu" -v cew="$cat_exec_wall" -v dw="$durable_wall" '
        function ratio(a, b) { return b > 0 ? sprintf("%.2fx", a / b) : "-" }
        BEGIN { printf "| %s | %.3f | %.3f | %.3f | %.4f | %d | %s | %s | %s | %s |\n", n,
                u / 1e6, s / 1e6, c / 1e6, w / 1e6, r, ratio(c, cc), ratio(c, ccp), ratio(w, cew),
                ratio(w, dw) }'
    done
  done
  popd >/dev/null
}

# run_group RUNS SIZE: the LF case and, unless SIZE is the only argument, the CR LF case, timed
# in the same rounds (LF commands, CR LF commands, LF commands...) so that both meet the same
# state of the machine; then the Srjoin cpu time of CR LF against LF.
run_group() {
  local group_runs=$1 size=$2 with_crlf=${3:-}
  local size_argument=${size% *}${size##* }  # "100 MiB" -> 100M for the generator
  size_argument=${size_argument%iB}
  local labels=("3 x $size, LF") dirs=("$work_dir/$size_argument") crlfs=("") i round
  if [ -n "$with_crlf" ]; then
    labels+=("3 x $size, CR LF")
    dirs+=("$work_dir/$size_argument-crlf")
    crlfs+=(crlf)
  fi
  local -a prepare_arguments=()
  for i in "${!labels[@]}"; do
    prepare_arguments+=("${dirs[$i]}" "${crlfs[$i]}")
  done
  if ! prepare_cases "$size_argument" "${prepare_arguments[@]}"; then
    fail "3 x $size: generating the inputs"
    return
  fi
  for i in "${!labels[@]}"; do  # warm-up: page cache and binaries; the outputs checked
    run_round "${labels[$i]}" "${dirs[$i]}" .warmup 1 0
  done
  for ((round = 1; round <= group_runs; round++)); do
    for i in "${!labels[@]}"; do
      run_round "${labels[$i]}" "${dirs[$i]}" .report $((round == group_runs)) "$round"
    done
  done
  for i in "${!labels[@]}"; do
    report_case "${labels[$i]}" "${dirs[$i]}" "$group_runs"
  done
  if [ -n "$with_crlf" ]; then
    local lf crlf
    lf=$(awk '{ print $2 + $3 }' "${dirs[0]}/srjoin-absent.report" | median)
    crlf=$(awk '{ print $2 + $3 }' "${dirs[1]}/srjoin-absent.report" | median)
    echo
    awk -v l="$lf" -v c="$crlf" -v s="$size" 'BEGIN {
      printf "Srjoin cpu, CR LF against LF inputs (3 x %s, output absent): %+.1f%%\n", s,
        100 * (c - l) / l }'
  fi
}

echo "Srjoin: $srjoin"
echo "machine: $(nproc) cores, $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)," \
  "$(awk '/^MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo);" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')"
if [ "$quick" = 1 ]; then
  run_group "${runs:-2}" "1 MiB" crlf
  run_group "${runs:-2}" "100 KiB"
else
  run_group "${runs:-21}" "100 MiB" crlf
  run_group "${runs:-21}" "100 KiB"
fi
echo
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "outputs checked: all as expected"

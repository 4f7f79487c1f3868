#!/usr/bin/env bash
# Runs real merges of Srjoin under Valgrind's memcheck and fails unless every one of them is
# clean: no invalid access, no use of uninitialised memory, no definite or indirect leak, and
# the exit code the run should have. Builds Srjoin (RelWithDebInfo) in build-valgrind/; installs
# valgrind with apt-get when it is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-valgrind"

if ! command -v valgrind >/dev/null; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq valgrind </dev/null
fi

# Memcheck follows the allocations of a program only through a shared C library.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target Srjoin
tool="$build/run/Srjoin"
if ! readelf -l "$tool" | grep -q 'program interpreter'; then
  echo "valgrind-check: $tool is linked statically; memcheck cannot follow it" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# check NAME EXPECTED_EXIT ARGS...: one run in a fresh folder prepared by the caller in $work/NAME.
check() {
  local name=$1 expected=$2
  shift 2
  local status=0
  (cd "$work/$name" && valgrind --tool=memcheck --leak-check=full --error-exitcode=99 \
    --errors-for-leak-kinds=definite,indirect --track-origins=yes \
    --log-file="$work/$name.log" "$tool" "$@" >"$work/$name.out") || status=$?
  if [ "$status" -eq "$expected" ] && grep -q 'ERROR SUMMARY: 0 errors' "$work/$name.log"; then
    echo "clean: $name (exit $status)"
  else
    echo "NOT CLEAN: $name (exit $status, expected $expected)" >&2
    cat "$work/$name.log" >&2
    failures=$((failures + 1))
  fi
}

folder() {
  mkdir -p "$work/$1"
  printf 'S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\n' >"$work/$1/a.MOT"
  printf 'S11300100002000800082629001853812341001813\nS9030000FC\n' >"$work/$1/b.MOT"
}

folder success && check success 0 a+b out
folder skipped && check skipped 0 a+missing+b out
folder no-work-file && mkdir "$work/no-work-file/___00000.___" && check no-work-file 1 a+b out
folder not-published && mkdir "$work/not-published/out.mot" && check not-published 4 a+b out
folder usage && check usage 255
folder too-few && check too-few 255 a out
folder long-names && check long-names 0 "a+$(printf 'x%.0s' $(seq 1 300))+b" out

if [ "$failures" -ne 0 ]; then
  echo "valgrind-check: $failures run(s) not clean" >&2
  exit 1
fi
echo "valgrind-check: every run clean"

#!/usr/bin/env bash
# The CMake package in a firmware build: tests/cmake_package/ finds the installed Srjoin with
# find_package and merges two files its build makes with srjoin_merge, under Make and Ninja. The
# image is the merge Srjoin makes by hand; a rebuild with nothing changed runs nothing; a typo in
# the name one input is made under (Srjoin skips it, and exits 0) fails the build, no image left;
# with CHECK, an input broken after a build fails the next one, its image removed.
#   tests/cmake_package.sh BUILD          cmake --install BUILD into a temporary prefix first
#   tests/cmake_package.sh --prefix DIR   the Srjoin installed in DIR (/usr: found without hint)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
examples=$here/../examples
fail() {
  echo "cmake_package: $*" >&2
  exit 1
}
skip() {
  echo "cmake_package: skipped: $*"
  exit 77
}
command -v ninja >/dev/null || skip "ninja is missing (scripts/setup.sh ninja-build installs it)"
[ -z "${SRJOIN_EXE:-}${SRJOIN_RUNNER:-}" ] || skip "tests the package of the tool built here only"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ "${1:?usage: cmake_package.sh BUILD | --prefix DIR}" = --prefix ]; then
  prefix=${2:?--prefix needs a folder}
else
  prefix=$scratch/prefix
  cmake --install "$1" --prefix "$prefix" >/dev/null
fi
hint=(-DCMAKE_PREFIX_PATH="$prefix")
[ "$prefix" != /usr ] || hint=()
cp "$examples"/tst{1,2}.mot "$scratch"
(cd "$scratch" && "$prefix/bin/Srjoin" tst1.mot+tst2.mot expected.mot >/dev/null)

# configure GENERATOR DIR [OPTION...], checking that it found the Srjoin of $prefix.
configure() {
  cmake -S "$here/cmake_package" -B "$2" -G "$1" "${hint[@]}" -DSAMPLES="$examples" "${@:3}" \
    >"$2.log" 2>&1 || fail "$2: configuring failed: $(cat "$2.log")"
  found=$(sed -n 's/^Srjoin_DIR:PATH=//p' "$2/CMakeCache.txt")
  [ "$(realpath "$found")" = "$(realpath "$prefix/lib/cmake/Srjoin")" ] ||
    fail "$2: find_package(Srjoin) found '$found', not $prefix/lib/cmake/Srjoin"
}

for generator in "Unix Makefiles" Ninja; do
  dir=$scratch/${generator// /-}
  configure "$generator" "$dir"
  cmake --build "$dir" >"$dir.log" 2>&1 || fail "$dir: the build failed: $(cat "$dir.log")"
  grep -q 'Srjoin: merging' "$dir.log" || fail "$dir: no merge step seen: $(cat "$dir.log")"
  cmp "$scratch/expected.mot" "$dir/image.mot" || fail "$dir: the image is not Srjoin's merge"

  made=$(stat -c %y "$dir/image.mot")
  cmake --build "$dir" >"$dir.log" 2>&1 || fail "$dir: the rebuild failed: $(cat "$dir.log")"
  ! grep -q 'Srjoin: merging' "$dir.log" && [ "$(stat -c %y "$dir/image.mot")" = "$made" ] ||
    fail "$dir: a rebuild with nothing changed merged again: $(cat "$dir.log")"
  [ "$generator" != Ninja ] || grep -q 'no work to do' "$dir.log" ||
    fail "$dir: ninja had work to do: $(cat "$dir.log")"
  touch "$dir/tst1.mot"
  cmake --build "$dir" >"$dir.log" 2>&1 && grep -q 'Srjoin: merging' "$dir.log" ||
    fail "$dir: an input changed, and no merge again: $(cat "$dir.log")"

  configure "$generator" "$dir-typo" -DSECOND_COPY=tst2-typo.mot
  ! cmake --build "$dir-typo" >"$dir-typo.log" 2>&1 ||
    fail "$dir-typo: the build passed without an input: $(cat "$dir-typo.log")"
  grep -q 'an input did not open' "$dir-typo.log" ||
    fail "$dir-typo: not failed for the skipped input: $(cat "$dir-typo.log")"
  [ ! -e "$dir-typo/image.mot" ] || fail "$dir-typo: an image without an input is left"

  mkdir -p "$dir-samples" && cp "$examples"/tst{1,2}.mot "$dir-samples"
  configure "$generator" "$dir-check" -DSAMPLES="$dir-samples" -DCHECK=ON
  cmake --build "$dir-check" >"$dir-check.log" 2>&1 && [ -f "$dir-check/image.mot" ] ||
    fail "$dir-check: the checked build failed: $(cat "$dir-check.log")"
  echo S1030000FB >>"$dir-samples/tst2.mot"
  ! cmake --build "$dir-check" >"$dir-check.log" 2>&1 && grep -q 'Srcheck failed (1)' "$dir-check.log" ||
    fail "$dir-check: a broken input did not fail the check: $(cat "$dir-check.log")"
  [ ! -e "$dir-check/image.mot" ] || fail "$dir-check: an image of a broken input is left"
done

#!/usr/bin/env bash
# Runs the end-to-end tests against the Windows build, Srjoin.exe, under Wine with a Japanese
# locale, so that the ANSI code page is 932 (Shift-JIS) as on a Japanese Windows.
#   scripts/test-windows.sh [exe build folder]   (default: build-wine-windows in the project)
# Installs what is missing (wine, wine64, locales; Debian, as root or with sudo), generates the
# ja_JP.UTF-8 locale, cross-builds Srjoin.exe (scripts/build-windows.sh), builds the test binary
# in build-wine, and runs the tests in a Wine prefix of their own, removed at the end. Needs no
# display and no standard input.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
exe_build="$(realpath -m "${1:-$root/build-wine-windows}")"
test_build="$root/build-wine"
locale_name=ja_JP.UTF-8

fail() {
    echo "test-windows: $*" >&2
    exit 1
}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "not root and no sudo"
    sudo=(sudo -n)
fi

"$root/scripts/setup.sh" --tests

# Only the 64-bit Wine: Srjoin.exe is a 64-bit program, so no i386 architecture is needed.
missing=()
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v wine >/dev/null || missing+=(wine)
command -v localedef >/dev/null && [ -f /usr/share/i18n/locales/ja_JP ] || missing+=(locales)
if [ ${#missing[@]} -gt 0 ]; then
    echo "test-windows: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq </dev/null
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

has_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'
}
if ! has_locale; then
    echo "test-windows: generating $locale_name"
    "${sudo[@]}" localedef -i ja_JP -f UTF-8 "$locale_name" || true
    has_locale || fail "the locale $locale_name could not be generated"
fi

"$root/scripts/build-windows.sh" "$exe_build"
exe="$exe_build/run/Srjoin.exe"

cmake -S "$root" -B "$test_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSRJOIN_WARNINGS_AS_ERRORS=ON \
    -DSRJOIN_TESTS=ON -DCMAKE_REQUIRE_FIND_PACKAGE_GTest=ON
cmake --build "$test_build" --parallel "$(nproc 2>/dev/null || echo 2)" --target srjoin_e2e_tests

# Wine lets a process write whatever its user may write, and root may write a read-only file.
# Without CAP_DAC_OVERRIDE root is held to the permission bits like anyone else, so that a file
# without write permission is as read-only to the tool as a read-only file is on Windows. The
# Wine server, which opens the files, inherits this from wineboot below.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --bounding-set=-dac_override --)
fi

prefix="$(mktemp -d "${TMPDIR:-/tmp}/srjoin-wine.XXXXXX")"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No menu entries, no Mono or Gecko to offer: a console program needs none of them.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LANG="$locale_name" LC_ALL="$locale_name"
unset DISPLAY WAYLAND_DISPLAY

clean_up() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$prefix"
}
trap clean_up EXIT

echo "test-windows: creating the Wine prefix $prefix"
boot_log="$("${as_user[@]}" sh -c 'wineboot -i && wineserver -w' </dev/null 2>&1)" ||
    fail "wineboot failed: $boot_log"
# One Wine server for the whole run, kept until clean_up: starting one for each run of the tool
# would take seconds each time. The first program run starts Wine's services, which live as long
# as the server and keep its standard error: /dev/null, so that no pipe is held open by them.
"${as_user[@]}" wineserver -p </dev/null >/dev/null 2>&1
code_page="$("${as_user[@]}" wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' \
    /v ACP </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "ACP" { print $3 }')"
[ "$code_page" = 932 ] || fail "the ANSI code page under Wine is '$code_page', not 932"
echo "test-windows: ANSI code page $code_page"

echo "test-windows: end-to-end tests of $exe"
SRJOIN_EXE="$exe" SRJOIN_RUNNER=wine \
    "${as_user[@]}" ctest --test-dir "$test_build" -R '^e2e\.' --output-on-failure \
    -j "$(nproc 2>/dev/null || echo 2)" </dev/null

#!/usr/bin/env bash
# The tests against the Windows build under Wine with the Japanese locale (so that the ANSI code
# page is 932, as on a Japanese Windows); rows for POSIX only skip themselves.
#   scripts/test-windows.sh WINDOWS_BUILD [BUILD [CTEST OPTIONS]]   Srjoin.exe, Srcheck.exe and the
#       holder of WINDOWS_BUILD (scripts/build-windows.sh), the tests of BUILD (default build/),
#       options such as -R ROWS
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
windows_build="$(realpath "${1:?usage: scripts/test-windows.sh WINDOWS_BUILD [BUILD]}")"
build="$(realpath "${2:-$root/build}")"
shift $(($# < 2 ? $# : 2))
"$root/scripts/setup.sh" wine wine64 locales
locale -a | grep -qix 'ja_JP\.utf-\?8' ||
  $([ "$(id -u)" -eq 0 ] || echo sudo) localedef -i ja_JP -f UTF-8 ja_JP.UTF-8

# Wine lets a process write what its user may, and root may write a read-only file: without
# CAP_DAC_OVERRIDE root is held to the permission bits, as a Windows user to the read-only
# attribute. The Wine server, which opens the files, inherits this.
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --bounding-set=-dac_override --)
export WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/srjoin-wine.XXXXXX")" WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
# One Wine server for all the runs, and its services started by a first program whose output is
# no pipe: they keep theirs open as long as they live.
"${as_user[@]}" sh -c 'wineboot -i && wineserver -w && wineserver -p' </dev/null >/dev/null 2>&1
"${as_user[@]}" wine cmd /c exit </dev/null >/dev/null 2>&1
SRJOIN_EXE="$windows_build/run/Srjoin.exe" SRJOIN_CHECK_EXE="$windows_build/check/Srcheck.exe" \
  SRJOIN_HOLDER="$windows_build/srjoin_holder.exe" \
  SRJOIN_RUNNER=wine SRJOIN_WINDOWS=1 "${as_user[@]}" \
  ctest --test-dir "$build" --output-on-failure --no-tests=error -R '^(Rows|Runs)/' \
  -j "$(nproc 2>/dev/null || echo 2)" "$@" </dev/null

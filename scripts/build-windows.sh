#!/usr/bin/env bash
# Cross-builds Srjoin.exe and Srcheck.exe for 64-bit Windows with MinGW-w64 and checks that each
# stands alone: a PE32+ file that imports nothing but Windows system DLLs.
#   scripts/build-windows.sh [build folder]     (default: build-windows in the project)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-windows}"
triplet=x86_64-w64-mingw32

fail() {
    echo "build-windows: $*" >&2
    exit 1
}

# The toolchain file uses the -posix flavour; the package brings both flavours.
"$root/scripts/setup.sh" g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64

cmake -S "$root" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DSRJOIN_WARNINGS_AS_ERRORS=ON
cmake --build "$build" --parallel

for exe in "$build/run/Srjoin.exe" "$build/check/Srcheck.exe"; do
    [ -f "$exe" ] || fail "$exe was not built"

    headers="$("$triplet-objdump" -p "$exe")"
    grep -q 'Magic.*(PE32+)' <<<"$headers" || fail "$exe is not a PE32+ image"
    if command -v file >/dev/null; then
        file "$exe"
    fi

    # A DLL that Windows itself does not bring would have to be shipped beside the exe.
    imports="$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr -d '\r')"
    [ -n "$imports" ] || fail "no DLL imports found in $exe"
    foreign=0
    while read -r dll; do
        case "${dll,,}" in
        kernel32.dll | ntdll.dll | advapi32.dll | user32.dll | msvcrt.dll | ucrtbase.dll | \
            api-ms-win-*.dll)
            echo "imports $dll"
            ;;
        *)
            echo "build-windows: $exe imports $dll, which is not a Windows system DLL" >&2
            foreign=1
            ;;
        esac
    done <<<"$imports"
    [ "$foreign" -eq 0 ] || exit 1
    echo "build-windows: $exe is ready"
done

#!/usr/bin/env bash
# Builds the Srjoin packages and checks them:
#   build-pkg/srjoin_<version>_<arch>.deb          Linux: the manual page, the CMake package
#   build-pkg-windows/srjoin-<version>-win64.zip   Windows (MinGW-w64 cross build)
# It lints the manual pages, checks `cmake --install` and the package metadata, runs lintian on
# the .deb (no error, no warning), installs it (dpkg -i), checks the sample files with the
# installed Srcheck and merges them with the installed Srjoin, and with their lower-case links
# srcheck and srjoin, builds a firmware project that finds them with find_package
# (tests/cmake_package.sh), removes it again (dpkg -r) and checks that nothing of it is left. As root or with sudo, on Debian or Ubuntu; missing tools are installed with apt-get. A
# srjoin package installed beforehand stops it.
#   scripts/package.sh [--windows-build DIR]
# The .deb is built from a fresh build folder; the zip from DIR, a Windows build made before
# (scripts/build-windows.sh DIR), or else from a fresh cross build.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-pkg"
build_windows="$root/build-pkg-windows"

fail() {
    echo "package: $*" >&2
    exit 1
}
windows_build=""
while [ $# -gt 0 ]; do
    case "$1" in
    --windows-build)
        windows_build="$(realpath "${2:?--windows-build needs a folder}")"
        shift 2
        ;;
    *) fail "unknown argument $1 (usage: package.sh [--windows-build DIR])" ;;
    esac
done
installed() { dpkg-query -W -f='${db:Status-Abbrev}' srjoin 2>/dev/null | grep -q '^.i'; }

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "needs root or sudo (apt-get, dpkg -i)"
    sudo=(sudo -n)
fi
installed && fail "the package srjoin is installed already; remove it first"

"$root/scripts/setup.sh" groff mandoc dpkg-dev file lintian ninja-build

scratch="$(mktemp -d)"
cleanup() {
    if installed; then "${sudo[@]}" dpkg -r srjoin >/dev/null || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# merge_samples COMMAND: merges the sample files with COMMAND in a folder of their own and checks
# what it printed and wrote.
merge_samples() {
    local folder lines status=0
    folder="$(mktemp -d "$scratch/merge.XXXXXX")"
    cp "$root"/examples/tst{1,2,3}.mot "$folder"
    echo "\$ $1 tst1.mot+tst2.mot+tst3.mot out"
    (cd "$folder" && LC_ALL=ja_JP.SJIS "$1" tst1.mot+tst2.mot+tst3.mot out) >"$folder.console" ||
        status=$?
    iconv -f CP932 -t UTF-8 "$folder.console" | tr -d '\r'
    [ "$status" -eq 0 ] || fail "$1 exited with $status"
    printf 'Srjoin Ver1.00\r\n[out.mot]を作成しました。\r\n' | iconv -f UTF-8 -t CP932 |
        cmp - "$folder.console" || fail "$1 printed something else"
    # Every line but the termination records, then the last of those; CR LF line breaks.
    lines="$(cat "$folder"/tst{1,2,3}.mot | tr -d '\r')"
    { grep -v '^[Ss][789]' <<<"$lines"; grep '^[Ss][789]' <<<"$lines" | tail -n 1; } |
        sed 's/$/\r/' | cmp - "$folder/out.mot" || fail "$1 did not merge the samples right"
    [ "$(cd "$folder" && LC_ALL=C ls)" = "$(printf '%s\n' out.mot tst{1,2,3}.mot)" ] ||
        fail "files left by $1: $(ls "$folder")"
    echo "out.mot: $(wc -l <"$folder/out.mot") lines, as expected"
}

# check_samples COMMAND: checks the sample files with COMMAND, as Srjoin would merge them.
check_samples() {
    local printed status=0
    echo "\$ $1 tst1.mot+tst2.mot+tst3.mot"
    printed="$(cd "$root/examples" && LC_ALL=C "$1" tst1.mot+tst2.mot+tst3.mot)" || status=$?
    echo "$printed"
    [ "$status" -eq 0 ] || fail "$1 exited with $status"
    [ "$printed" = "Srcheck Ver1.00
tst1.mot: records 8, data bytes 96, ranges 00001000-0000105F
tst2.mot: records 7, data bytes 80, ranges 00020000-0002004F
tst3.mot: records 5, data bytes 72, ranges 08000000-08000047
image: 00001000-0000105F 00020000-0002004F 08000000-08000047
entry point 08000000 from the S7 record at tst3.mot:5
errors 0, notices 0" ] || fail "$1 printed something else"
}

echo "== Linux build ($build)"
rm -rf "$build"
# Debian's build flags with every hardening (fortified functions, relro and bindnow), and the C++
# runtime shared, as Debian wants a package linked. Fortified, glibc marks fchown and the like
# warn_unused_result, which g++ reports even where the result is cast to void on purpose.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) -Wno-unused-result" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DSRJOIN_TESTS=OFF \
    -DSRJOIN_WARNINGS_AS_ERRORS=ON -DSRJOIN_STATIC_RUNTIME=OFF >/dev/null
cmake --build "$build" --parallel >/dev/null
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

echo "== cmake --install, manual pages"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for file in bin/{Srjoin,Srcheck} share/man/man1/{Srjoin,Srcheck}.1 share/doc/srjoin/changelog \
    lib/cmake/Srjoin/{SrjoinConfig,SrjoinConfigVersion,SrjoinMergeStep}.cmake; do
    [ -f "$scratch/prefix/$file" ] || fail "cmake --install did not install $file"
done
for link in bin/{srjoin,srcheck} share/man/man1/{srjoin,srcheck}.1; do
    target="$(basename "$link")"
    [ "$(readlink "$scratch/prefix/$link")" = "${target^}" ] ||
        fail "cmake --install did not make $link a link to ${target^} beside it"
done
merge_samples "$scratch/prefix/bin/srjoin"
check_samples "$scratch/prefix/bin/srcheck"
for name in Srjoin Srcheck; do
    page="$scratch/prefix/share/man/man1/$name.1"
    grep -q "^\.TH ${name^^} 1 .*\"$name $version\"" "$page" || fail "$page is not of $version"
    warnings="$(groff -k -man -Tutf8 -ww -z "$page" 2>&1)"
    [ -z "$warnings" ] || fail "groff warns about $page:"$'\n'"$warnings"
    mandoc -T lint "$page" || fail "mandoc -T lint finds fault with $page"
done

echo "== Debian package"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$build/srjoin_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "$deb was not made"
dpkg-deb -f "$deb" Package Version Architecture Maintainer Section Depends
[ "$(dpkg-deb -f "$deb" Package)" = srjoin ] || fail "wrong package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "wrong package version"
for library in libc6 libstdc++6; do
    dpkg-deb -f "$deb" Depends | grep -q "$library (>=" || fail "Depends does not name $library"
done
listing="$(dpkg-deb -c "$deb")"
for entry in 'usr/bin/srjoin -> Srjoin' 'usr/share/man/man1/srjoin.1.gz -> Srjoin.1.gz' \
    'usr/bin/srcheck -> Srcheck' 'usr/share/man/man1/srcheck.1.gz -> Srcheck.1.gz' \
    usr/share/doc/srjoin/changelog.gz usr/lib/cmake/Srjoin/SrjoinConfig.cmake; do
    grep -qF " ./$entry" <<<"$listing" || fail "the package lacks /$entry"
done

echo "== lintian"
lintian --fail-on error,warning --display-info --pedantic "$deb" ||
    fail "lintian reports an error or a warning (above)"

echo "== dpkg -i, check and merge the samples with the installed Srcheck, srcheck, Srjoin, srjoin"
# The package's paths, and those of them that are there before it (/usr, /usr/bin...).
mapfile -t paths < <(awk '{ sub(/^\./, "", $6); sub(/\/$/, "", $6); print ($6 == "" ? "/." : $6) }' \
    <<<"$listing")
there_before=()
for path in "${paths[@]}"; do [ -e "$path" ] && there_before+=("$path"); done
"${sudo[@]}" dpkg -i "$deb"
dpkg -L srjoin | tee "$scratch/listed"
[ "$(command -v Srjoin)" = /usr/bin/Srjoin ] || fail "Srjoin is not /usr/bin/Srjoin on the PATH"
[ "$(command -v srjoin)" = /usr/bin/srjoin ] || fail "srjoin is not /usr/bin/srjoin on the PATH"
[ "$(command -v Srcheck)" = /usr/bin/Srcheck ] || fail "Srcheck is not /usr/bin/Srcheck on the PATH"
[ -f /usr/share/man/man1/Srjoin.1.gz ] && [ -f /usr/share/man/man1/Srcheck.1.gz ] ||
    fail "the manual pages are not installed"
check_samples Srcheck
check_samples srcheck
merge_samples Srjoin
merge_samples srjoin
"$root/tests/cmake_package.sh" --prefix /usr
echo "find_package(Srjoin) finds it in /usr; srjoin_merge builds with Make and Ninja"

echo "== dpkg -r"
"${sudo[@]}" dpkg -r srjoin
installed && fail "srjoin is still installed"
while read -r path; do
    printf '%s\n' "${there_before[@]}" | grep -qxF -- "$path" && continue
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after dpkg -r"
done <"$scratch/listed"
hash -r
! command -v srjoin >/dev/null && ! command -v srcheck >/dev/null ||
    fail "srjoin or srcheck is still on the PATH after dpkg -r"
echo "every path the package brought is gone"

echo "== Windows package ($build_windows)"
if [ -n "$windows_build" ]; then
    echo "from the Windows build in $windows_build"
    [ -f "$windows_build/CPackConfig.cmake" ] || fail "$windows_build is not a build folder"
    cmake --build "$windows_build" --parallel >/dev/null
    [ "$windows_build" = "$build_windows" ] || rm -rf "$build_windows"
else
    windows_build="$build_windows"
    rm -rf "$build_windows"
    "$root/scripts/build-windows.sh" "$windows_build"
fi
cpack -G ZIP --config "$windows_build/CPackConfig.cmake" -B "$build_windows" >/dev/null
zip="$build_windows/srjoin-$version-win64.zip"
[ -f "$zip" ] || fail "$zip was not made"
top="srjoin-$version-win64"
contents="$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)"
expected="$(printf '%s\n' "$top"/{LICENSE,README.md,Srjoin.exe,Srcheck.exe} \
    "$top"/lib/cmake/Srjoin/{SrjoinConfig,SrjoinConfigVersion,SrjoinMergeStep}.cmake |
    LC_ALL=C sort)"
[ "$contents" = "$expected" ] || fail "$zip holds: $contents"
(cd "$scratch" && cmake -E tar xf "$zip")
for exe in Srjoin.exe Srcheck.exe; do
    file "$scratch/$top/$exe" | grep -q 'PE32+ executable (console) x86-64' ||
        fail "$exe in $zip is not a 64-bit Windows console program"
done
# find_package finds the unpacked zip, Srjoin::Srjoin being its Srjoin.exe (configured only:
# the exe does not run here).
cmake -S "$root/tests/cmake_package" -B "$scratch/windows-firmware" -G Ninja \
    -DCMAKE_PREFIX_PATH="$scratch/$top" -DSAMPLES="$root/examples" >/dev/null ||
    fail "find_package(Srjoin) does not take the unpacked $zip"
grep -qF -- "-DSRJOIN=$scratch/$top/Srjoin.exe" "$scratch/windows-firmware/build.ninja" ||
    fail "Srjoin::Srjoin of the unpacked $zip is not its Srjoin.exe"
echo "the unpacked zip is found by find_package(Srjoin)"

echo "== packages"
ls -l "$deb" "$zip"

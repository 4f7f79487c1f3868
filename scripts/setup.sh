#!/usr/bin/env bash
# Installs what building Srjoin needs, where it is missing (Debian or Ubuntu; as root, or with
# sudo), and says so first in one line. On a machine that has it all, it does nothing.
#   scripts/setup.sh                     CMake, a C++ compiler and make: enough for the tool
#   scripts/setup.sh --tests             what the tests need as well (GoogleTest, Ninja)
#   scripts/setup.sh [--tests] PACKAGE   these Debian packages as well (wine, valgrind...)
set -euo pipefail

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
for wanted in "$@"; do
  case "$wanted" in
    --tests) packages=(libgtest-dev libgmock-dev ninja-build) ;;
    -*) echo "setup.sh: unknown option $wanted" >&2; exit 2 ;;
    *) packages=("$wanted") ;;
  esac
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' ||
      missing+=("$package")
  done
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup.sh: installing with apt-get: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo -n)
  "${sudo_cmd[@]}" apt-get update -qq </dev/null
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends "${missing[@]}" </dev/null >/dev/null
fi

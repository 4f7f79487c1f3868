#!/usr/bin/env bash
# Installs what building Srjoin needs, where it is missing (Debian or Ubuntu; as root, or with
# sudo). On a machine that has it all, it does nothing.
#   scripts/setup.sh           CMake, a C++ compiler and make: enough for the tool
#   scripts/setup.sh --tests   GoogleTest as well, for the tests
set -euo pipefail

case "${1:-}" in
  "" | --tests) ;;
  *) echo "setup.sh: unknown option $1" >&2; exit 2 ;;
esac

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
if [ "${1:-}" = "--tests" ]; then
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  [ -f /usr/include/gmock/gmock.h ] || missing+=(libgmock-dev)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" </dev/null
fi

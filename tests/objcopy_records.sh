#!/usr/bin/env bash
# Files that objcopy writes from an ELF of two sections check clean with Srcheck, in the S19, S28
# and S37 forms, with S3 records forced and with other record lengths, and the ranges Srcheck
# gives are the sections' addresses and sizes.
#   tests/objcopy_records.sh SRCHECK
set -euo pipefail
srcheck=$(realpath "${1:?usage: objcopy_records.sh SRCHECK}")
command -v objcopy >/dev/null && command -v objdump >/dev/null ||
  { echo "objcopy_records: skipped: objcopy is missing"; exit 77; }
fail() {
  echo "objcopy_records: $*" >&2
  exit 1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
seq 2000 >numbers.txt
head -c 300 numbers.txt >data.bin  # no pipe: pipefail would take a writer cut short for a failure
tail -c 100 numbers.txt >extra.bin

# srec NAME TYPE DATA_ADDRESS EXTRA_ADDRESS [OBJCOPY OPTION...]: NAME made from an ELF whose .data
# and .extra lie at those addresses, and checked to hold records of TYPE.
srec() {
  objcopy -I binary -O elf32-little --change-section-address .data="$3" data.bin "$1.elf"
  objcopy -I elf32-little --add-section .extra=extra.bin \
    --set-section-flags .extra=alloc,load,contents "$1.elf"
  objcopy -I elf32-little --change-section-address .extra="$4" "$1.elf"
  objcopy -I elf32-little -O srec "${@:5}" "$1.elf" "$1"
  grep -q "^S$2" "$1" || fail "$1 holds no S$2 record: $(head -3 "$1")"
  local expected="" _ section size address
  while read -r _ section size address _; do
    case "$section" in
    .data | .extra)
      expected+="${expected:+ }$(printf '%08X-%08X' $((0x$address)) $((0x$address + 0x$size - 1)))"
      ;;
    esac
  done < <(objdump -h "$1.elf")
  printed=$(LC_ALL=C "$srcheck" "$1") || fail "$1: Srcheck exited with $?: $printed"
  grep -qx "$1: records [0-9]*, data bytes 400, ranges $expected" <<<"$printed" &&
    grep -qx "errors 0, notices 0" <<<"$printed" || fail "$1: not the sections ($expected): $printed"
  echo "$1: $expected"
}
srec image.s19 1 0x1234 0x8000
srec image.s28 2 0x123456 0x200000 --srec-len 100
srec image.s37 3 0x12345678 0x80000000
srec forced.s37 3 0x1234 0x8000 --srec-forceS3 --srec-len 8

#!/usr/bin/env bash
# Regenerates the sample S-record files tst1.mot, tst2.mot and tst3.mot in this folder, byte for
# byte, with GNU objcopy from small binary blobs of a fixed pattern.
#   tst1.mot: S1 data records and an S9 record (16-bit addresses), CR LF line breaks
#   tst2.mot: S2 data records and an S8 record (24-bit addresses), LF line breaks
#   tst3.mot: S3 data records and an S7 record (32-bit addresses), CR LF line breaks
# objcopy picks the record type from the highest address, and writes CR LF itself. The S0 header
# holds the output name as given, so objcopy runs in this folder with the bare names.
set -euo pipefail

cd "$(dirname "$0")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Writes count bytes to file: byte i is (start + i * step) mod 256.
make_blob() {
    local file=$1 count=$2 start=$3 step=$4 i
    : >"$file"
    for ((i = 0; i < count; i++)); do
        # shellcheck disable=SC2059  # the format is the octal escape of one byte
        printf "\\$(printf '%03o' $(((start + i * step) % 256)))" >>"$file"
    done
}

make_blob "$scratch/tst1.bin" 96 0 1
make_blob "$scratch/tst2.bin" 80 0x41 3
make_blob "$scratch/tst3.bin" 72 0xF0 7

objcopy -I binary -O srec --change-addresses 0x1000 "$scratch/tst1.bin" tst1.mot
objcopy -I binary -O srec --change-addresses 0x020000 "$scratch/tst2.bin" tst2.mot
objcopy -I binary -O srec --srec-len 24 --change-addresses 0x08000000 "$scratch/tst3.bin" tst3.mot

# tst2.mot with LF line breaks only.
tr -d '\r' <tst2.mot >"$scratch/tst2.mot"
cat "$scratch/tst2.mot" >tst2.mot

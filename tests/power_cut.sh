#!/usr/bin/env bash
# A merge reported as created survives a power cut: an in-place merge on a small ext4 mounted to
# commit a rename before the data it names (data=writeback, noauto_da_alloc, commit=1). The image
# is copied as a power cut leaves the disk, checked with e2fsck and mounted read-only: three
# seconds after the run, when data not flushed would still wait for its write-back; and at once,
# after a run in a folder it may write but not read (0333, as another user), which it cannot open
# to flush. The output must be the merged text, whole. Needs root and loop devices, else 77.
#   tests/power_cut.sh SRJOIN
set -euo pipefail
tool=$(realpath "$1")
skip() {
  echo "power_cut: skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "needs root"
[ -z "${SRJOIN_EXE:-}${SRJOIN_RUNNER:-}" ] || skip "runs the tool built here only"
command -v mkfs.ext4 >/dev/null && command -v e2fsck >/dev/null || skip "needs e2fsprogs"

scratch=$(mktemp -d)
trap 'umount "$scratch/disk" "$scratch/copy" 2>/dev/null || true; rm -rf "$scratch"' EXIT
chmod 0755 "$scratch"
cd "$scratch"
truncate -s 32M disk.img
mkfs.ext4 -q -F disk.img
mkdir disk copy
mount -o loop,data=writeback,noauto_da_alloc,commit=1 disk.img disk 2>/dev/null ||
  skip "cannot mount a loop device"
cp "$tool" disk/Srjoin

# Two inputs of about 300 KB each, their data on the disk before the run.
records() {
  awk -v tag="$1" 'BEGIN { for (i = 0; i < 6000; i++)
    printf "S1%s%05d0123456789ABCDEF0123456789ABCDEF0123\n", tag, i }'
}
{ records 13; records 24; echo S804000000FB; } | sed 's/$/\r/' >expected.mot

# power_cut FOLDER WAIT [USER]: merges a.mot and b.mot into a.mot in FOLDER, then cuts the power
# WAIT seconds later.
power_cut() {
  local folder=disk/$1 as=()
  mkdir -p "$folder"
  { records 13; echo S9030000FC; } >"$folder/a.mot"
  { records 24; echo S804000000FB; } >"$folder/b.mot"
  if [ -n "${3:-}" ]; then
    chown -R "$3:$3" "$folder"
    chmod 0333 "$folder"
    as=(setpriv --reuid="$3" --regid="$3" --clear-groups)
  fi
  sync
  status=0
  (cd "$folder" && "${as[@]}" ../Srjoin a.mot+b.mot a.mot >/dev/null) || status=$?
  [ "$status" -eq 0 ] || { echo "power_cut: Srjoin exited with $status in $1"; exit 1; }
  sleep "$2"
  cp disk.img copy.img
  fsck_status=0
  e2fsck -fy copy.img >/dev/null 2>&1 || fsck_status=$?
  [ "$fsck_status" -lt 4 ] || { echo "power_cut: e2fsck cannot repair the copy ($fsck_status)"; exit 1; }
  mount -o loop,ro copy.img copy
  if ! cmp -s "copy/$1/a.mot" expected.mot; then
    echo "power_cut: after the power cut $1/a.mot is $(stat -c %s "copy/$1/a.mot") bytes, not" \
      "the $(stat -c %s expected.mot) of the merged text, or other bytes"
    exit 1
  fi
  umount copy
  echo "power_cut: in $1, the merged text survived, whole ($(stat -c %s expected.mot) bytes)"
}
power_cut open 3
power_cut unreadable 0 2002

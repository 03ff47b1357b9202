#!/bin/sh
# Runs inside the emulated machine: PROGRAM of the Windows test tree under
# 32-bit Wine on the stick mounted at MOUNT, which Wine sees as drive E:
# with its device behind it (dosdevices/e:: -> the loop device), as Windows
# sees a USB stick: its volume says "FAT32" then (an exFAT one, "NTFS").
# The shipped Quenby.exe goes beside PROGRAM, which starts it from there.
#
#   wine_stick.sh WINDOWS_TEST_BUILD SHIPPED_EXE MOUNT PROGRAM [ARG...]
set -u
windows=$1 shipped=$2 mount=$3 program=$4
shift 4
# Started from the shared folder, programs crash, their code read as zeros;
# copies on the machine's own disk run.
mkdir -p /tmp/exe
[ -f /tmp/exe/Quenby.exe ] || cp "$shipped" /tmp/exe/Quenby.exe || exit 1
[ -f "/tmp/exe/$program" ] || cp "$windows/$program" /tmp/exe/ || exit 1
device=$(findmnt -n -o SOURCE --target "$mount") || exit 1
ln -sfn "$mount" "$WINEPREFIX/dosdevices/e:" &&
  ln -sfn "$device" "$WINEPREFIX/dosdevices/e::" || exit 1
wine "/tmp/exe/$program" "$@"

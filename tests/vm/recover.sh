#!/bin/sh
# Runs inside the emulated machine (scripts/test-vm.sh starts it there), in
# one boot after the pulls during the order step: the user's next run on
# each pulled stick. LIST holds lines "IMAGE FS OPTIONS MODE": IMAGE, a copy
# of a pulled stick, is mounted through the kernel's FS (vfat or exfat) with
# OPTIONS, its playlist run with MODE
# ("number" or "remove"), and unmounted; the run's exit status goes to
# IMAGE.status. The host reads the images.
#
#   recover.sh NATIVE_BUILD LIST
set -u
native=$1 list=$2
modprobe -q loop; modprobe -q vfat; modprobe -q exfat
mkdir -p /mnt/stick
while read -r image fs options mode; do
  mode_options=rw
  [ "$options" = defaults ] || mode_options=rw,$options
  if ! mount -t "$fs" -o "loop,$mode_options" "$image" /mnt/stick; then
    echo "not mounted" > "$image.status"
    continue
  fi
  "$native/tests/reliability/crash_driver" /mnt/stick car.m3u "$mode" \
    > /dev/null 2>&1
  echo "$mode run status $?" > "$image.status"
  umount /mnt/stick || echo "not unmounted" >> "$image.status"
done < "$list"

#!/bin/sh
# Runs inside the emulated machine (scripts/test-vm.sh starts it there), in
# one boot after the pulls during the order step: the user's next run on
# each pulled stick. LIST holds lines "IMAGE FS OPTIONS MODE RUNNER ...": IMAGE,
# a copy of a pulled stick, is mounted through the kernel's FS (vfat or
# exfat) with OPTIONS ("windows" stands for defaults), its playlist run with
# MODE ("number" or "remove") by RUNNER ("linux", or "windows": the shipped
# Quenby.exe under Wine), and unmounted; the run's exit status goes to
# IMAGE.status. The host reads the images.
#
#   recover.sh NATIVE_BUILD WINDOWS_TEST_BUILD SHIPPED_EXE LIST
set -u
native=$1 windows=$2 shipped=$3 list=$4
modprobe -q loop; modprobe -q vfat; modprobe -q exfat
mkdir -p /mnt/stick
while read -r image fs options mode runner _; do
  mode_options=rw
  case $options in defaults|windows) ;; *) mode_options=rw,$options ;; esac
  if ! mount -t "$fs" -o "loop,$mode_options" "$image" /mnt/stick; then
    echo "not mounted" > "$image.status"
    continue
  fi
  if [ "$runner" = windows ]; then
    sh "$(dirname "$0")/wine_stick.sh" "$windows" "$shipped" /mnt/stick \
      quenby_alive_probe.exe 'E:\car.m3u' "$mode" > /tmp/said 2>/dev/null
  else
    "$native/tests/reliability/crash_driver" /mnt/stick car.m3u "$mode" \
      > /tmp/said 2>&1
  fi
  echo "$runner $mode run status $?: $(tail -n 1 /tmp/said)" > "$image.status"
  umount /mnt/stick || echo "not unmounted" >> "$image.status"
done < "$list"

#!/bin/sh
# Runs inside the emulated machine (scripts/test-vm.sh starts it there, one
# boot per pull): the stick pulled from a numbering run. Mounts IMAGE (made
# by tests/vm/stick.py on the host) through the kernel's FS (vfat or exfat)
# with OPTIONS, numbers its playlist with crash_driver and resets the
# machine without a sync, either the moment the run returns (WHEN "end") or
# at a moment inside the run that tests/vm/reset_after_renames.py watches
# for (WHEN a count of renames, "staging", "out:K" or "back:K" of the order
# step). What the machine had not written to the image by then is lost, as
# on a stick pulled from the computer. An exFAT IMAGE comes blank: first the
# files of IMAGE.seed are copied onto it in the order its manifest lists
# them, as a user fills a stick, and put on it by an unmount. OPTIONS
# "windows": mounted with defaults, numbered by the shipped Quenby.exe under
# Wine through its dialog (tests/vm/wine_stick.sh).
#
#   pull.sh NATIVE_BUILD WINDOWS_TEST_BUILD SHIPPED_EXE IMAGE FS OPTIONS WHEN
#           MARKER [CONTROL_IMAGE]
#
# Before the reset it writes MARKER (on the shared folder, so it survives):
# the reset is planned, and the harness tells it from a machine that died.
# With CONTROL_IMAGE, a second image shows that the reset keeps exactly what
# was written back: "kept.txt" is synced before the run, "unsynced.txt" is
# written, not synced, just before the reset.
set -u
native=$1 windows=$2 shipped=$3
shift 3
image=$1 fs=$2 options=$3 when=$4 marker=$5 control=${6:-}
rm -f "$marker"
modprobe -q loop; modprobe -q "$fs"
mkdir -p /mnt/stick /mnt/control
runner=linux
[ "$options" != windows ] || runner=windows options=defaults
mode=rw
[ "$options" = defaults ] || mode=rw,$options
sh "$(dirname "$0")/fill_stick.sh" "$image" "$fs" "$options" || exit 1
mount -t "$fs" -o "loop,$mode" "$image" /mnt/stick || exit 1
if [ -n "$control" ]; then
  mount -t "$fs" -o loop "$control" /mnt/control || exit 1
  echo kept > /mnt/control/kept.txt && sync -f /mnt/control/kept.txt ||
    exit 1
fi

if [ "$when" != end ]; then
  python3 "$(dirname "$0")/reset_after_renames.py" /mnt/stick/Music "$when" \
    "$marker" /tmp/watching &
  while [ ! -e /tmp/watching ]; do
    kill -0 $! 2>/dev/null || exit 1
    sleep 0.1
  done
fi

start=$(date +%s.%N)
# The user picks the playlist on the stick; the log lands beside it.
if [ $runner = windows ]; then
  sh "$(dirname "$0")/wine_stick.sh" "$windows" "$shipped" /mnt/stick \
    quenby_alive_probe.exe 'E:\car.m3u' number > /dev/null 2>&1
else
  "$native/tests/reliability/crash_driver" /mnt/stick car.m3u number \
    > /dev/null 2>&1
fi
status=$?
# With WHEN a moment, only a run that ended before it gets here.
[ -z "$control" ] || echo unsynced > /mnt/control/unsynced.txt
seconds=$(echo "$(date +%s.%N) $start" | awk '{ printf "%.1f", $1 - $2 }')
echo "pulled the moment the run returned (status $status), after $seconds s" \
  > "$marker"
echo b > /proc/sysrq-trigger
sleep 30
echo "pull.sh: the machine was not reset" >&2
exit 1

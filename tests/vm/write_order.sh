#!/bin/sh
# A measurement, not a test: in which order the kernel's exfat puts the two
# halves of a rename on the stick, the new entry set and the old one's
# removal. Runs inside the emulated machine, as root:
#
#   ../shared/win32-vm/run.sh "$PWD" sh tests/vm/write_order.sh
#
# On a fresh exFAT image, a folder of 300 files and a staging folder in it,
# it moves 100 files out into the staging folder and back, and renames 100
# more in place to a longer name, each followed by an fsync of the folder it
# went to, as the program does. The block layer's trace shows the sectors
# each sync writes; each sector is read back to tell the in-use entry of the
# name (the new set) from the removed one. Prints, per kind of rename, how
# many wrote which first.
set -u
modprobe -q loop; modprobe -q exfat
image=/tmp/write-order.img
truncate -s 16M "$image" && mkfs.exfat "$image" >/dev/null || exit 1
mkdir -p /mnt/order && mount -t exfat -o loop "$image" /mnt/order || exit 1
device=$(losetup -j "$image" | cut -d: -f1)
mkdir /mnt/order/F
for i in $(seq 1 300); do echo "song $i" > "/mnt/order/F/Song $i - A Title.mp3"; done
mkdir '/mnt/order/F/QUENBY.$$$'
sync
mount -t tracefs nodev /sys/kernel/tracing 2>/dev/null
tracing=/sys/kernel/tracing
echo 0 > $tracing/tracing_on && echo 8192 > $tracing/buffer_size_kb &&
  echo 1 > $tracing/events/block/block_rq_issue/enable &&
  echo 1 > $tracing/tracing_on || exit 1
python3 - "$device" "$tracing" <<'EOF'
import collections, os, random, re, sys

device, tracing = sys.argv[1], sys.argv[2]
major_minor = "%d,%d" % divmod(os.stat(device).st_rdev, 256)
folder = os.open("/mnt/order/F", os.O_RDONLY)
staging = os.open("/mnt/order/F/QUENBY.$$$", os.O_RDONLY)


def written():
    """The sectors written since the last call, in the order issued."""
    with open(tracing + "/trace") as trace:
        text = trace.read()
    with open(tracing + "/trace", "w") as trace:
        trace.write("")
    return [int(m.group(1)) for m in re.finditer(
        re.escape(major_minor) + r" W\S* \d+ \(\) (\d+) \+", text)]


def holds(sector, name):
    """'new' or 'removed' for the entry of `name` in that sector."""
    with open(device, "rb") as disk:
        disk.seek(sector * 512)
        data = disk.read(512)
    for found in re.finditer(re.escape(name[:15].encode("utf-16-le")), data):
        at = found.start() - 2  # A name entry: type, flags, 15 units.
        if at % 32 == 0:
            return "new" if data[at] & 0x80 else "removed"
    return None


counts = collections.Counter()


def rename(kind, old, new, old_dir, new_dir):
    written()
    os.rename(old, new, src_dir_fd=old_dir, dst_dir_fd=new_dir)
    os.fsync(new_dir)
    seen = []
    for sector in written():
        for name in {old, new}:
            what = holds(sector, name)
            if what and what not in seen:
                seen.append(what)
    counts[(kind, " first, then ".join(seen) or "nothing seen")] += 1


names = ["Song %d - A Title.mp3" % i for i in range(1, 301)]
random.Random(1).shuffle(names)
for name in names[:100]:
    rename("out to the staging folder", name, name, folder, staging)
for name in names[:100]:
    rename("back into the folder", name, name, staging, folder)
for number, name in enumerate(names[100:200], 1):
    rename("in place, numbered", name, "%06d %s" % (number, name), folder,
           folder)
for (kind, order), count in sorted(counts.items()):
    print("%-26s %3d: %s" % (kind, count, order))
EOF
echo 0 > $tracing/tracing_on
umount /mnt/order

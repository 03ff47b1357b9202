#!/usr/bin/env python3
"""The USB stick of the pull test, on the host side of make test-vm.

  stick.py make IMAGE [--files N]
      A FAT32 image as a user's stick holds it: a folder Music of N small
      files, each with contents of its own, and the playlist car.m3u at the
      top listing them in an order of its own.
  stick.py control IMAGE
      The control image of a pull: what was synced before the reset is
      there, what was not is not.
  stick.py check IMAGE end|during [--files N]
      Reads the image after the machine was reset, without mounting it
      (mtools, fsck.fat -n), and prints one line of figures. "end": the run
      had returned, so every file stands under its numbered name and the log
      is gone. "during": every file stands under its old or its new name;
      the one whose rename was in flight may stand under both, sharing its
      clusters, and the hint of how many clusters are free may lag.
      Either way no file may be empty or hold other bytes, and fsck.fat may
      find nothing else but the flag of a file system that was not
      unmounted. Exits 1 when any of that fails.
"""

import argparse
import os
import random
import re
import subprocess
import sys
import tempfile

FOLDER = "Music"
PLAYLIST = "car.m3u"
LOG = "output.txt"

# What fsck.fat -n says of an image that was mounted and never unmounted,
# and nothing else: the kernel marks the boot sector (byte 65), not its
# backup, while the volume is mounted.
UNMOUNTED_ONLY = [re.compile(pattern) for pattern in (
    r"fsck\.fat \d",
    r"There are differences between boot sector and its backup\.$",
    r"This is mostly harmless\. Differences: \(offset:original/backup\)$",
    r"\s+65:01/00$",
    r"\s+Not automatically fixing this\.$",
    r"Dirty bit is set\. Fs was not properly unmounted and some data may "
    r"be corrupt\.$",
    r"\s*Automatically removing dirty bit\.$",
    r"$",
    r"Leaving filesystem unchanged\.$",
    r".*: \d+ files, \d+/\d+ clusters$",
)]


FREE_COUNT = re.compile(r"Free cluster summary wrong \(\d+ vs\. really \d+\)$")


def names(count):
    """The files' names, by file number (from 1)."""
    return {n: "Song %03d - Title.mp3" % n for n in range(1, count + 1)}


def playlist_order(count):
    """File numbers in playlist order: not the order they were copied in."""
    order = list(range(1, count + 1))
    random.Random(count).shuffle(order)
    return order


def contents(number):
    """The bytes of file `number`: its own, one to several clusters long."""
    line = ("file %d of the stick, nothing else holds this line\n"
            % number).encode()
    size = 1 + (number * 2654435761) % 6000
    return (line * (size // len(line) + 1))[:size]


def mtools(*args):
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1")
    return subprocess.run(list(args), env=env, check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)


def make(image, count):
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "64M", image], check=True)
    subprocess.run(["mkfs.vfat", "-F", "32", "-n", "STICK", image],
                   check=True, stdout=subprocess.DEVNULL)
    file_names = names(count)
    with tempfile.TemporaryDirectory() as staging:
        folder = os.path.join(staging, FOLDER)
        os.mkdir(folder)
        for number, name in file_names.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(contents(number))
        lines = ["#EXTM3U"]
        for number in playlist_order(count):
            lines.append("#EXTINF:200,Artist - Title %d" % number)
            lines.append(FOLDER + "\\" + file_names[number])
        playlist = os.path.join(staging, PLAYLIST)
        with open(playlist, "wb") as out:
            out.write(("\r\n".join(lines) + "\r\n").encode())
        mtools("mcopy", "-s", "-i", image, folder, playlist, "::/")


def fsck_findings(image):
    """What fsck.fat -n finds beyond the unmounted flag: one list of lines
    per finding, a finding being a line and the indented lines after it."""
    said = subprocess.run(["fsck.fat", "-n", image], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True).stdout
    findings = []
    lines = said.splitlines()
    for i, line in enumerate(lines):
        if any(p.match(line) for p in UNMOUNTED_ONLY):
            continue
        # fsck names a pair of files as "/A  and" then "/B".
        continued = line[:1].isspace() or (
            i > 0 and lines[i - 1].endswith("  and") and findings)
        if continued:
            findings[-1].append(line)
        else:
            findings.append([line])
    return findings


# How fsck.fat tells of two names that share one chain of clusters (the file
# whose rename was in flight when the stick was pulled): the pair, then the
# second name, which its repair would leave with no clusters.
SHARED = (
    [re.compile(p) for p in (r"(/.*)  and$", r"(/.*)$",
                             r"\s+share clusters\.$",
                             r"\s+Truncating second to 0 bytes\.$")],
    [re.compile(p) for p in (r"(/.*)$",
                             r"\s+File size is \d+ bytes, cluster chain "
                             r"length is 0 bytes\.$",
                             r"\s+Truncating file to 0 bytes\.$")],
)


def names_one_pair(finding, pair):
    """Whether `finding` is fsck's report of the two names in `pair`
    sharing their clusters, and of nothing else."""
    for shape in SHARED:
        if len(finding) != len(shape):
            continue
        matches = [p.match(line) for p, line in zip(shape, finding)]
        if all(matches) and all(m.group(1) in pair
                                for m in matches if m.groups()):
            return True
    return False


def check(image, when, count):
    file_names = names(count)
    numbered = {number: "%06d%s" % (position, file_names[number])
                for position, number in
                enumerate(playlist_order(count), start=1)}
    with tempfile.TemporaryDirectory() as copy:
        # mcopy reads the entries as they stand: a name with no clusters
        # comes out empty, cross-linked names both come out.
        mtools("mcopy", "-s", "-n", "-i", image, "::/" + FOLDER, copy + "/")
        folder = os.path.join(copy, FOLDER)
        found = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as data:
                found[name] = data.read()
        top = mtools("mdir", "-b", "-i", image, "::/").stdout.decode()
    log_left = any(line.strip().lower() == "::/" + LOG
                   for line in top.splitlines())

    renamed = old = empty = wrong = lost = 0
    both = []  # file numbers standing under both their names
    for number, name in file_names.items():
        new = numbered[number]
        standing = [n for n in (name, new) if n in found]
        if not standing:
            lost += 1
            continue
        if len(standing) == 2:
            both.append(number)
        if new in found:
            renamed += 1
        else:
            old += 1
        for n in standing:
            if not found[n]:
                empty += 1
            elif found[n] != contents(number):
                wrong += 1
    strangers = len(set(found) - set(file_names.values()) -
                    set(numbered.values()))

    # A pull between the writes of one rename may leave that one file under
    # both its names, its clusters shared: then fsck may say so of that pair
    # and of nothing else. Its contents are under both names.
    findings = fsck_findings(image)
    if when == "during" and len(both) == 1:
        pair = {"/%s/%s" % (FOLDER, n)
                for n in (file_names[both[0]], numbered[both[0]])}
        findings = [f for f in findings if not names_one_pair(f, pair)]
    # The count of free clusters in the FSInfo sector is a hint that vfat
    # writes only when the whole file system is synced; mid-run, a folder
    # that grew or the log's first cluster leave it behind the FAT.
    if when == "during":
        findings = [f for f in findings if not FREE_COUNT.match(f[0])]

    failed = (lost or empty or wrong or strangers or findings or
              len(both) > (1 if when == "during" else 0) or
              (when == "end" and (old or log_left)))
    print("%d of %d renamed, %d under the old name, %d under both, %d empty, "
          "%d wrong, %d lost, %d strangers, log %s; fsck: %s"
          % (renamed, count, old, len(both), empty, wrong, lost, strangers,
             "left" if log_left else "gone",
             " | ".join(" ".join(l.strip() for l in f) for f in findings[:3])
             + (" ..." if len(findings) > 3 else "") if findings else
             "nothing but the unmounted flag" + (
                 " and the one file in flight under both names"
                 if both else "")))
    return 1 if failed else 0


def control(image):
    """The control image of a pull at the end: kept.txt was synced before
    the run, unsynced.txt written but not synced just before the reset."""
    listing = mtools("mdir", "-b", "-i", image, "::/").stdout.decode().split()
    kept = ("::/kept.txt" in listing and
            mtools("mtype", "-i", image, "::/kept.txt").stdout == b"kept\n")
    lost = "::/unsynced.txt" not in listing
    print("control image: the synced file %s, the unsynced one %s"
          % ("kept" if kept else "NOT KEPT", "lost" if lost else "KEPT"))
    return 0 if kept and lost else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["make", "check", "control"])
    parser.add_argument("image")
    parser.add_argument("when", nargs="?", choices=["end", "during"])
    parser.add_argument("--files", type=int, default=300)
    args = parser.parse_args()
    if args.action == "make":
        make(args.image, args.files)
        return 0
    if args.action == "control":
        return control(args.image)
    if not args.when:
        parser.error("check needs end or during")
    return check(args.image, args.when, args.files)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The USB stick of the pull test, on the host side of make test-vm.

  stick.py make IMAGE [--files N] [--fs vfat|exfat]
      An image as a user's stick holds it: a folder Music of N small
      files, each with contents of its own, and the playlist car.m3u at the
      top listing them in an order of its own. FAT32 is filled here with
      mtools; this side can neither mount nor write exFAT, so an exFAT
      image is left blank and IMAGE.seed/ beside it holds the files and
      their copy order (its "manifest"), for the machine to copy onto it.
  stick.py control IMAGE
      The control image of a pull: what was synced before the reset is
      there, what was not is not.
  stick.py check IMAGE end|during|order|number|remove [--files N]
                 [--any-order] [--windows]
      Reads the image after the machine was reset, without mounting it
      (FAT32: mtools, fsck.fat -n; exFAT: sleuthkit's fls and icat,
      fsck.exfat -n; which one, the image's boot sector tells), and prints
      one line of figures. "end": the run
      had returned, so every file stands under its numbered name and the log
      is gone. "during": every file stands under its old or its new name;
      the one whose rename was in flight may stand under both, sharing its
      clusters, and the hint of how many clusters are free may lag.
      Either way no file may be empty or hold other bytes, and fsck may
      find nothing else but the flag of a file system that was not
      unmounted. Exits 1 when any of that fails.
"""

import argparse
import os
import random
import re
import shutil
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
STRAY_CLUSTER = re.compile(r"Reclaimed 1 unused cluster \(\d+ bytes\)\.$")


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


MANIFEST = "manifest"


def write_files(top, count):
    """Writes the stick's folder and playlist below `top`; returns their
    paths in the order a user copies them: the folder, its files by number,
    then the playlist."""
    file_names = names(count)
    os.mkdir(os.path.join(top, FOLDER))
    copied = [FOLDER + "/"]
    for number, name in file_names.items():
        copied.append(FOLDER + "/" + name)
        with open(os.path.join(top, copied[-1]), "wb") as out:
            out.write(contents(number))
    lines = ["#EXTM3U"]
    for number in playlist_order(count):
        lines.append("#EXTINF:200,Artist - Title %d" % number)
        lines.append(FOLDER + "\\" + file_names[number])
    with open(os.path.join(top, PLAYLIST), "wb") as out:
        out.write(("\r\n".join(lines) + "\r\n").encode())
    return copied + [PLAYLIST]


def make(image, count, fs="vfat"):
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "64M", image], check=True)
    subprocess.run(["mkfs.exfat", "-L", "STICK", image] if fs == "exfat" else
                   ["mkfs.vfat", "-F", "32", "-n", "STICK", image],
                   check=True, stdout=subprocess.DEVNULL)
    if fs == "exfat":
        seed = image + ".seed"
        shutil.rmtree(seed, ignore_errors=True)
        os.mkdir(seed)
        copied = write_files(seed, count)
        with open(os.path.join(seed, MANIFEST), "w") as out:
            out.write("".join(path + "\n" for path in copied))
        return
    with tempfile.TemporaryDirectory() as staging:
        write_files(staging, count)
        mtools("mcopy", "-s", "-i", image, os.path.join(staging, FOLDER),
               os.path.join(staging, PLAYLIST), "::/")


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
        # fsck names a pair of files as "/A  and" then "/B". An indented
        # line after allowed ones (another byte of the boot sector that
        # differs from its backup) is a finding of its own.
        continued = findings and (line[:1].isspace() or (
            i > 0 and lines[i - 1].endswith("  and")))
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


def listing(image, path):
    """The entries of a folder in slot order, hidden ones too, as (name,
    whether it is a folder)."""
    prefix = "::/" + (path + "/" if path else "")
    said = mtools("mdir", "-a", "-b", "-i", image, prefix).stdout.decode()
    return [(line[len(prefix):].rstrip("/"), line.endswith("/"))
            for line in said.splitlines()
            if line.startswith(prefix) and line != prefix]


class FatStick:
    """A FAT32 image, read with mtools and fsck.fat -n."""

    def __init__(self, image):
        self.image = image
        self.clean = "nothing but the unmounted flag"

    def entries(self, path):
        """The entries of folder `path` as listing() gives them; none where
        the folder is not."""
        try:
            return listing(self.image, path)
        except subprocess.CalledProcessError:
            return []

    def files(self, path):
        """The bytes of each file in folder `path` and below, by its path
        inside `path`. mcopy reads the entries as they stand: a name with no
        clusters comes out empty, cross-linked names both come out."""
        sources = ["::/" + "/".join(filter(None, (path, name)))
                   for name, _ in self.entries(path)]
        found = {}
        with tempfile.TemporaryDirectory() as copy:
            if sources:
                mtools("mcopy", "-s", "-n", "-i", self.image, *sources,
                       copy + "/")
            for place, _, file_names in os.walk(copy):
                for name in file_names:
                    with open(os.path.join(place, name), "rb") as data:
                        found[os.path.relpath(data.name, copy)] = data.read()
        return found

    def findings(self):
        return fsck_findings(self.image)

    @staticmethod
    def twin(finding, pair):
        return names_one_pair(finding, pair)

    @staticmethod
    def stray_cluster(finding):
        return bool(STRAY_CLUSTER.match(finding[0]))

    @staticmethod
    def lags(finding):
        """Whether `finding` is only the count of free clusters in the
        FSInfo sector, a hint that vfat writes only when the whole file
        system is synced."""
        return bool(FREE_COUNT.match(finding[0]))


# A line of fls: the entry's type, its inode, its name.
FLS_LINE = re.compile(r"(\S)/\S (?:\* )?(\d+)(?:-\S+)?:\t(.*)$")
# Boot sector: the file system's name; the volume's flags and the one that
# says it is mounted (VolumeDirty).
EXFAT_NAME = (3, b"EXFAT   ")
EXFAT_FLAGS, EXFAT_DIRTY = 106, 0x0002
EXFAT_CLEAN = [re.compile(p) for p in (
    r"exfatprogs version : ", r".*: clean\. directories \d+, files \d+$",
    # The sums after the errors, which stand as findings of their own.
    r".*: corrupted\. directories \d+, files \d+$",
    r".*: files corrupted \d+, files fixed 0$")]
# How fsck.exfat tells of the second of two names that share one chain of
# clusters (the file whose move was in flight when the stick was pulled).
EXFAT_SHARED = re.compile(r"ERROR: (/.*): cluster is already allocated for "
                          r"the other file\. truncated to 0 bytes at "
                          r"0x[0-9a-f]+\. Truncate \(y/N\)\? n$")


class ExfatStick:
    """An exFAT image, read with sleuthkit (fls lists a folder's entries in
    their order on the stick, icat gives a file's bytes) and fsck.exfat -n,
    which never tells of the volume's dirty flag: that is read here."""

    def __init__(self, image):
        self.image = image
        with open(image, "rb") as boot:
            boot.seek(EXFAT_FLAGS)
            self.flags = int.from_bytes(boot.read(2), "little")
        self.clean = "clean" + (", the volume's dirty flag set"
                                if self.flags & EXFAT_DIRTY else "")

    def listed(self, inode):
        """(name, whether a folder, inode) of each entry in use in the folder
        `inode` (the root: None), without sleuthkit's own "$" files and the
        volume label."""
        said = subprocess.run(
            ["fls", "-f", "exfat", "-u", self.image] + [inode] * bool(inode),
            check=True, stdout=subprocess.PIPE, text=True).stdout
        for line in said.splitlines():
            match = FLS_LINE.match(line)
            if (match and not match.group(3).startswith("$") and
                    not match.group(3).endswith(" (Volume Label Entry)")):
                yield match.group(3), match.group(1) == "d", match.group(2)

    def inode(self, path):
        """The folder's inode: None for the root, "" where it is not."""
        inode = None
        for part in filter(None, path.split("/")):
            inode = next((number for name, folder, number
                          in self.listed(inode) if folder and name == part),
                         "")
            if not inode:
                break
        return inode

    def entries(self, path):
        inode = self.inode(path)
        return [] if inode == "" else [
            (name, folder) for name, folder, _ in self.listed(inode)]

    def files(self, path):
        found = {}

        def walk(inode, prefix):
            for name, folder, number in self.listed(inode):
                if folder:
                    walk(number, prefix + name + "/")
                else:
                    found[prefix + name] = subprocess.run(
                        ["icat", "-f", "exfat", self.image, number],
                        check=True, stdout=subprocess.PIPE).stdout
        inode = self.inode(path)
        if inode != "":
            walk(inode, "")
        return found

    def findings(self):
        done = subprocess.run(["fsck.exfat", "-n", self.image],
                              stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True)
        findings = [[line] for line in done.stdout.splitlines()
                    if line.strip() and
                    not any(p.match(line) for p in EXFAT_CLEAN)]
        if done.returncode and not findings:
            findings.append(["fsck.exfat exit status %d" % done.returncode])
        if self.flags & ~EXFAT_DIRTY:
            findings.append(["volume flags 0x%04x" % self.flags])
        return findings

    @staticmethod
    def twin(finding, pair):
        match = EXFAT_SHARED.match(finding[0])
        return len(finding) == 1 and bool(match) and match.group(1) in pair

    @staticmethod
    def stray_cluster(finding):
        return False

    @staticmethod
    def lags(finding):
        return False


def open_stick(image):
    """The reader of the image's file system, as its boot sector names it."""
    with open(image, "rb") as boot:
        boot.seek(EXFAT_NAME[0])
        exfat = boot.read(len(EXFAT_NAME[1])) == EXFAT_NAME[1]
    return (ExfatStick if exfat else FatStick)(image)


STAGING = "QUENBY.$$$"
PLACEHOLDER = re.compile(r"QNB\d{5}\.\$\$\$$")
STAGING_MARK = "QUENBY.TAG"
# The stick as each reading expects it: whether every file is numbered,
# whether the folder must stand in playlist order, whether the log must be
# gone, whether the order step may have left its staging folder and
# placeholders, and whether the hint of free clusters may lag. "order":
# pulled during the order step; "number", "remove": a run of that kind on a
# copy of such a stick, which finishes the step first (the hint may still
# count a cluster that the pull left in no file, which fsck frees).
READINGS = {  # numbered, in order, log gone, step left, free count
    "end": (True, True, True, False, False),
    "during": (None, False, False, False, True),
    "order": (True, False, False, True, True),
    "number": (True, True, False, False, True),
    "remove": (False, False, True, False, True),
}


def check(image, when, count, any_order=False, windows=False):
    """Prints one line of figures; returns 1 when the stick is not as the
    reading `when` expects, in any order of the files with `any_order`.
    With `windows`, also the free-cluster hint may lag: Windows' calls
    under Wine give no slot order and cannot write the file system's
    summary."""
    numbered_all, in_order, log_gone, step_left, free_lag = READINGS[when]
    in_order = in_order and not (any_order or windows)
    free_lag = free_lag or windows
    file_names = names(count)
    numbered = {number: "%06d%s" % (position, file_names[number])
                for position, number in
                enumerate(playlist_order(count), start=1)}
    stick = open_stick(image)
    found = {}  # name: [(path on the stick, bytes)], folder or staging
    for path, data in stick.files(FOLDER).items():
        sub, _, name = path.rpartition("/")
        if sub in ("", STAGING):
            found.setdefault(name, []).append(("/%s/%s" % (FOLDER, path),
                                               data))
    entries = stick.entries(FOLDER)
    top = [name.lower() for name, _ in stick.entries("")]
    log_left = LOG in top
    staging = any(name == STAGING for name, _ in entries)
    placeholders = [n for n in found if PLACEHOLDER.match(n)]
    # On exFAT an empty file marks the staging folder as the step's.
    marks = [data for path, data in found.get(STAGING_MARK, ())
             if path == "/%s/%s/%s" % (FOLDER, STAGING, STAGING_MARK)]

    renamed = old = empty = wrong = lost = staged = 0
    twins = []  # the file numbers standing in two places
    for number, name in file_names.items():
        places = [p for n in (name, numbered[number])
                  for p in found.get(n, ())]
        if not places:
            lost += 1
            continue
        whole = [data for _, data in places if data]
        if len(places) > 1:
            twins.append(number)
            # A twin of a move cut short may have no clusters yet: empty.
            places = [p for p in places if p[1]] or places[:1]
        if numbered[number] in found:
            renamed += 1
        if name in found:
            old += 1
        staged += any("/%s/" % STAGING in path for path, _ in places)
        empty += not whole
        wrong += sum(data != contents(number) for data in whole)
    strangers = len(set(found) - set(file_names.values()) -
                    set(numbered.values()) - set(placeholders) -
                    set([STAGING_MARK] * bool(marks)))
    # One file may stand in two places, the pull having come between the
    # writes of its move or rename; a whole twin shares its clusters, which
    # no run can undo, so that the next run keeps it (in the staging folder,
    # logged) and leaves that file where it stands.
    twin = twins[0] if len(twins) == 1 else None
    twin_names = {file_names.get(twin), numbered.get(twin)}
    files = [n for n, is_folder in entries
             if not is_folder and n not in twin_names]
    ordered = files == [numbered[n] for n in playlist_order(count)
                        if n != twin]
    if twin:
        old -= numbered_all is True and file_names[twin] in found
        renamed -= numbered_all is False and numbered[twin] in found

    findings = stick.findings()
    if twin:
        pair = {path for n in twin_names for path, _ in found.get(n, ())}
        findings = [f for f in findings if not stick.twin(f, pair)]
    # Mid-run, a folder that grew or the log's first cluster may leave a
    # hint behind that the file system writes only when it is synced.
    if free_lag:
        findings = [f for f in findings if not stick.lags(f)]
    # The step puts a new staging folder's cluster in the FAT before its
    # entry: a pull between the two leaves that one cluster in no file, for
    # good, since no run looks for it.
    stray = when in ("order", "number", "remove") and any(
        stick.stray_cluster(f) for f in findings)
    findings = [f for f in findings if not stray or not stick.stray_cluster(f)]

    # A run after the pull leaves no empty twin; the end of a run, none.
    bad_twin = twins and (when == "end" or (when != "order" and any(
        not data for n in twin_names for _, data in found.get(n, ()))))
    kept_twin = (twin and staged == 1 and not placeholders and
                 when in ("number", "remove"))
    left = staging or placeholders
    failed = (lost or empty or wrong or strangers or findings or
              len(twins) > 1 or bad_twin or
              (left and not step_left and not kept_twin) or
              any(found[n][0][1] for n in placeholders) or any(marks) or
              (numbered_all is not None and
               (old if numbered_all else renamed)) or
              (in_order and not ordered) or
              (log_gone and log_left and not kept_twin))
    print("%d of %d renamed, %d under the old name, %d in two places, "
          "%d empty, %d wrong, %d lost, %d strangers, log %s%s%s%s; fsck: %s"
          % (renamed, count, old, len(twins), empty, wrong, lost, strangers,
             "left" if log_left else "gone",
             "; %d in the staging folder, %d placeholders%s" % (
                 staged, len(placeholders), ", its mark" * bool(marks))
             if left else "",
             "" if not in_order else "; in playlist order" if ordered else
             "; NOT IN PLAYLIST ORDER",
             "; the staging folder LEFT" if left and not step_left and
             not kept_twin else "",
             " | ".join(" ".join(l.strip() for l in f) for f in findings[:3])
             + (" ..." if len(findings) > 3 else "") if findings else
             stick.clean + (
                 " and the file in two places" if twin else "") + (
                 " and a cluster in no file" if stray else "")))
    return 1 if failed else 0


def control(image):
    """The control image of a pull at the end: kept.txt was synced before
    the run, unsynced.txt written but not synced just before the reset."""
    top = open_stick(image).files("")
    kept = top.get("kept.txt") == b"kept\n"
    lost = "unsynced.txt" not in top
    print("control image: the synced file %s, the unsynced one %s"
          % ("kept" if kept else "NOT KEPT", "lost" if lost else "KEPT"))
    return 0 if kept and lost else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("action", choices=["make", "check", "control"])
    parser.add_argument("image")
    parser.add_argument("when", nargs="?", choices=sorted(READINGS))
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--fs", choices=["vfat", "exfat"], default="vfat")
    # No record of an order to finish; a run of Windows' calls under Wine.
    parser.add_argument("--any-order", action="store_true")
    parser.add_argument("--windows", action="store_true")
    args = parser.parse_args()
    if args.action == "make":
        make(args.image, args.files, args.fs)
        return 0
    if args.action == "control":
        return control(args.image)
    if not args.when:
        parser.error("check needs end or during")
    return check(args.image, args.when, args.files, args.any_order,
                 args.windows)


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The stick on which make test-vm checks the slot order of numbered folders.

  order_stick.py make IMAGE [--fs exfat]
      A FAT32 image labelled with fatlabel (or an exFAT one labelled by
      mkfs.exfat): at its root 12 tracks among other files and the folders
      Album (12 tracks, a subfolder Bonus made halfway through) and Mix (300
      tracks); long names of several slots mixed with 8.3 names; each
      folder's files copied in an order of their own, a few of them listed
      by no playlist; one playlist per folder at the root (root.m3u,
      album.m3u, mix.m3u). The host cannot write exFAT: that image comes
      blank, with IMAGE.seed and its manifest, which the machine copies onto
      it in that order (tests/vm/fill_stick.sh).
  order_stick.py check IMAGE [--any-order]
      Reads the image after the machine numbered every playlist and
      unmounted it: in each folder the numbered files stand first, in
      playlist order, then the other files as they were copied (the root's
      own playlist standing where it stood); every file whole; nothing of
      the order step left; fsck finds nothing at all. With --any-order,
      the files may stand in any order (a run that could not order them).
  order_stick.py check-bench IMAGE [--any-order]
      The same of the folders fat_bench's engine runs numbered (engine-N,
      album-N): each holds its numbered files alone, in the order its
      playlist FOLDER.m3u at the root lists them.
  One line per folder; exits 1 on any failure. The file system is read from
  the image (tests/vm/stick.py's readers: mtools, or sleuthkit for exFAT).
"""

import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stick  # noqa: E402

LEFTOVER = re.compile(r"(QUENBY|QNB\d{5})\.\$\$\$$", re.I)


def track_name(number):
    if number % 3 == 0:
        return "T%03d.MP3" % number  # 8.3: one slot
    # Five slots; the number first, so that mtools' short names do not clash.
    return "%03d Artist Name - A Title Long Enough For Several Slots.mp3" % \
        number


class Folder:
    """`tracks` in playlist order; `copied`, the order its files and
    subfolders (names ending in "/") were copied in."""

    def __init__(self, path, playlist, tracks, extras, subfolders):
        self.path, self.playlist = path, playlist
        self.tracks = [track_name(n) for n in range(1, tracks + 1)]
        random.Random(path + "list").shuffle(self.tracks)
        self.copied = self.tracks + extras
        random.Random(path + "copy").shuffle(self.copied)
        for i, sub in enumerate(subfolders):
            self.copied.insert(len(self.copied) * (i + 1) //
                               (len(subfolders) + 1), sub + "/")

    def local(self, name):
        """A file's path on the stick, without the drive."""
        return self.path + "/" + name if self.path else name


FOLDERS = [  # The root first: it makes the other folders.
    Folder("", "root.m3u", 12,
           ["readme.txt", "root.m3u", "album.m3u", "mix.m3u"],
           ["Album", "Mix"]),
    Folder("Album", "album.m3u", 12, ["COVER.JPG", "notes.txt"], ["Bonus"]),
    Folder("Mix", "mix.m3u", 300, ["folder.jpg"], []),
]
BONUS = ["Album/Bonus/live.mp3", "Album/Bonus/DEMO.MP3"]


def data(path):
    """The bytes of the file at `path`, its own, up to a few clusters."""
    return stick.contents(sum(map(ord, path)) * 7 + len(path)) + path.encode()


def wanted_bytes(path):
    for folder in FOLDERS:
        if path == folder.playlist:
            return "".join(folder.local(t).replace("/", "\\") + "\r\n"
                           for t in folder.tracks).encode()
    return data(path)


def make(image, fs="vfat"):
    if os.path.exists(image):
        os.remove(image)
    subprocess.run(["truncate", "-s", "64M", image], check=True)
    if fs == "exfat":
        subprocess.run(["mkfs.exfat", "-L", "CARSTICK", image], check=True,
                       stdout=subprocess.DEVNULL)
        make_seed(image + ".seed")
        return
    subprocess.run(["mkfs.vfat", "-F", "32", image], check=True,
                   stdout=subprocess.DEVNULL)
    # The label takes the root's first slot.
    subprocess.run(["fatlabel", image, "CARSTICK"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as staging:
        def put(path):
            local = os.path.join(staging, path.replace("/", os.sep))
            os.makedirs(os.path.dirname(local), exist_ok=True)
            with open(local, "wb") as out:
                out.write(wanted_bytes(path))
            return local
        for folder in FOLDERS:
            batch = []
            # mtools copies its arguments in the order given, each into the
            # first free slots; a subfolder is made where it stands.
            for name in folder.copied + [None]:
                if name is None or name.endswith("/"):
                    if batch:
                        stick.mtools("mcopy", "-i", image, *batch,
                                     "::/" + folder.path)
                    batch = []
                    if name:
                        stick.mtools("mmd", "-i", image,
                                     "::/" + folder.local(name[:-1]))
                else:
                    batch.append(put(folder.local(name)))
        for path in BONUS:
            stick.mtools("mcopy", "-i", image, put(path), "::/" + path)


def make_seed(seed):
    """The stick's files below `seed`, and the order of their copying in its
    manifest, as make() copies them onto a FAT32 stick."""
    shutil.rmtree(seed, ignore_errors=True)
    os.makedirs(seed)
    copied = []
    for folder in FOLDERS:
        copied += [folder.local(name) for name in folder.copied]
    copied += BONUS
    for path in copied:
        local = os.path.join(seed, path.rstrip("/"))
        if path.endswith("/"):
            os.makedirs(local)
            continue
        with open(local, "wb") as out:
            out.write(wanted_bytes(path))
    with open(os.path.join(seed, stick.MANIFEST), "w") as out:
        out.write("".join(path + "\n" for path in copied))


def numbered(tracks):
    return ["%06d%s" % (i, t) for i, t in enumerate(tracks, start=1)]


def check_folder(reader, contents, path, tracks, others, subfolders, fixed,
                 wanted, any_order=False):
    """Whether the folder stands in order, whole: one line said. `contents`
    holds every file's bytes by its path on the stick."""
    entries = reader.entries(path)
    files = [n for n, d in entries if not d and n not in fixed]
    leftovers = [n for n, _ in entries if LEFTOVER.match(n)]
    expected = numbered(tracks) + others
    # Said either way; with `any_order`, not asked for.
    ordered = files == expected
    if any_order:
        files, expected = sorted(files), sorted(expected)
    in_order = files == expected
    wrong = next((i for i, (a, b) in enumerate(zip(files, expected))
                  if a != b), min(len(files), len(expected)))
    folders = [n for n, d in entries if d] == subfolders
    bad = [n for n in expected
           if contents.get("/".join(filter(None, (path, n)))) != wanted(n)]
    passed = in_order and folders and not leftovers and not bad
    print("  %-10s %4d tracks: %s%s%s%s" % (
        path or "(root)", len(tracks),
        "in playlist order, then %d other files" % len(others)
        if ordered else "all there, in an order of the driver's"
        if in_order else "OUT OF ORDER from file %d (%s where %s)" % (
            wrong + 1, files[wrong:wrong + 1], expected[wrong:wrong + 1]),
        "" if folders else ", SUBFOLDERS MOVED",
        ", LEFT: %s" % leftovers if leftovers else "",
        ", %d files NOT WHOLE" % len(bad) if bad else ""))
    return passed


def fsck_clean(reader):
    """Whether fsck finds nothing at all, not even a volume in use."""
    if isinstance(reader, stick.ExfatStick):
        findings = reader.findings()
        if reader.flags & stick.EXFAT_DIRTY:
            findings.append(["the volume's dirty flag set"])
        extra = [finding[0] for finding in findings]
        print("  fsck.exfat -n: %s" % (" | ".join(extra[:4]) or "clean"))
        return not extra
    said = subprocess.run(["fsck.fat", "-n", reader.image],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True)
    extra = [l for l in said.stdout.splitlines()
             if l and not re.match(r"fsck\.fat \d|.*: \d+ files, \d+/\d+ "
                                   r"clusters$", l)]
    print("  fsck.fat -n: %s" % ("clean" if said.returncode == 0 and not extra
                                 else " | ".join(extra[:4])))
    return said.returncode == 0 and not extra


def check(image, any_order=False):
    reader = stick.open_stick(image)
    contents = reader.files("")
    passed = True
    for folder in FOLDERS:
        numbered_names = dict(zip(numbered(folder.tracks), folder.tracks))

        def wanted(name, folder=folder):
            return wanted_bytes(folder.local(numbered_names.get(name, name)))
        others = [n for n in folder.copied if not n.endswith("/") and
                  n not in folder.tracks and n != folder.playlist]
        subfolders = [n[:-1] for n in folder.copied if n.endswith("/")]
        passed &= check_folder(reader, contents, folder.path, folder.tracks,
                               others, subfolders, {folder.playlist}, wanted,
                               any_order)
    bonus = all(contents.get(p) == data(p) for p in BONUS)
    print("  Album/Bonus: %s" % ("whole" if bonus else "NOT WHOLE"))
    return passed and bonus and fsck_clean(reader)


def check_bench(image, any_order=False):
    reader = stick.open_stick(image)
    contents = reader.files("")
    passed = True
    ran = [n for n, d in reader.entries("")
           if d and re.match(r"(engine|album)-\d+$", n)]
    for name in ran:
        tracks = [line.split("\\")[-1] for line in
                  contents.get(name + ".m3u", b"").decode().splitlines()
                  if line and not line.startswith("#")]
        passed &= check_folder(reader, contents, name, tracks, [], [], (),
                               lambda n: b"x", any_order)
    return passed and bool(ran) and fsck_clean(reader)


def main():
    args = sys.argv[1:]
    fs, any_order = "vfat", False
    if args[2:] == ["--fs", "exfat"] and args[:1] == ["make"]:
        fs, args = "exfat", args[:2]
    if args[2:] == ["--any-order"] and args[0] in ("check", "check-bench"):
        any_order, args = True, args[:2]
    if len(args) != 2 or args[0] not in ("make", "check", "check-bench"):
        print(__doc__, file=sys.stderr)
        return 2
    action, image = args
    if action == "make":
        make(image, fs)
        return 0
    if action == "check":
        return 0 if check(image, any_order) else 1
    return 0 if check_bench(image, any_order) else 1


if __name__ == "__main__":
    sys.exit(main())

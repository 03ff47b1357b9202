#!/usr/bin/env python3
"""The pull test's reading of a stick must fail every stick that lost
something or is not as the reading expects: each case makes a small stick,
changes it with mtools as a pull or a run could have left it, and expects
stick.py's verdict for each reading (a pull at the end of a run, during it,
during its order step, and a numbering or removal run after such a pull)."""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import stick  # noqa: E402

FILES = 12


def mtools(*args):
    stick.mtools(*args)


def music(name):
    return "::/%s/%s" % (stick.FOLDER, name)


def numbered(number):
    position = stick.playlist_order(FILES).index(number) + 1
    return "%06d%s" % (position, stick.names(FILES)[number])


def rename(image, numbers):
    for number in numbers:
        mtools("mren", "-i", image, music(stick.names(FILES)[number]),
               music(numbered(number)))


def number_in_order(image):
    """Every file numbered and standing in playlist order, as after an order
    step: moved out, then back one by one into the first free slots."""
    mtools("mmd", "-i", image, music("X"))
    for number in ALL:
        mtools("mmove", "-i", image, music(stick.names(FILES)[number]),
               music("X/" + numbered(number)))
    for number in stick.playlist_order(FILES):
        mtools("mmove", "-i", image, music("X/" + numbered(number)),
               music(numbered(number)))
    mtools("mrd", "-i", image, music("X"))


def cut_short(image, staging, placeholder=b""):
    """An order step cut short: numbered in order, then the first three
    files moved into the staging folder, a placeholder in the folder."""
    number_in_order(image)
    mtools("mmd", "-i", image, music(stick.STAGING))
    mtools("mattrib", "-i", image, "+h", "+s", music(stick.STAGING))
    for number in stick.playlist_order(FILES)[:3]:
        mtools("mmove", "-i", image, music(numbered(number)),
               music(stick.STAGING + "/" + numbered(number)))
    replace(image, "QNB00001.$$$", placeholder, staging)


def twin(image, staging, data):
    """Numbered in order, one file also in the staging folder with `data`,
    as a pull between the writes of its move leaves it."""
    number_in_order(image)
    mtools("mmd", "-i", image, music(stick.STAGING))
    number = stick.playlist_order(FILES)[4]
    replace(image, stick.STAGING + "/" + numbered(number), data(number),
            staging)


def mark(image, staging, data=b"", place=stick.STAGING + "/"):
    """The empty file with which the step marks its staging folder on
    exFAT; mtools puts it on FAT32 alike for the reading."""
    replace(image, place + stick.STAGING_MARK, data, staging)


def stray_cluster(image):
    """A cluster taken in both FATs that no entry names, as the step's new
    staging folder leaves when the pull comes before its entry."""
    with open(image, "r+b") as fat:
        boot = fat.read(512)
        reserved = int.from_bytes(boot[14:16], "little")
        sectors = int.from_bytes(boot[36:40], "little")
        for copy in range(boot[16]):
            fat.seek((reserved + copy * sectors) * 512 + 4 * 1000)
            fat.write(b"\xff\xff\xff\x0f")


def replace(image, name, data, staging):
    path = os.path.join(staging, "data")
    with open(path, "wb") as out:
        out.write(data)
    mtools("mcopy", "-o", "-i", image, path, music(name))


ALL = range(1, FILES + 1)
READINGS = ("end", "during", "order", "number", "remove")

# name, the stick's file system, change(image, staging), the readings it
# passes (the others fail). This side cannot write exFAT: its rows are what
# make leaves.
CASES = [
    ("untouched", "vfat", lambda i, s: None, "during remove"),
    ("half renamed", "vfat", lambda i, s: rename(i, range(1, 7)), "during"),
    ("all renamed in place, out of order", "vfat", lambda i, s: rename(i, ALL),
     "during order"),
    ("all renamed in order", "vfat", lambda i, s: number_in_order(i),
     "end during order number"),
    ("all renamed, the log left", "vfat",
     lambda i, s: (number_in_order(i), replace(i, "../output.txt", b"x", s)),
     "during order number"),
    ("one emptied", "vfat",
     lambda i, s: (number_in_order(i), replace(i, numbered(3), b"", s)), ""),
    ("one holding another's bytes", "vfat",
     lambda i, s: (number_in_order(i),
                   replace(i, numbered(3), stick.contents(4), s)), ""),
    ("the folder gone", "vfat",
     lambda i, s: mtools("mdeltree", "-i", i, "::/" + stick.FOLDER), ""),
    ("exFAT, never filled", "exfat", lambda i, s: None, ""),
    ("one lost", "vfat",
     lambda i, s: (number_in_order(i), mtools("mdel", "-i", i,
                                              music(numbered(5)))), ""),
    ("a stranger beside them", "vfat",
     lambda i, s: (number_in_order(i), replace(i, "stray.mp3", b"x", s)), ""),
    ("the order step cut short", "vfat", cut_short, "order"),
    ("a placeholder holding bytes", "vfat",
     lambda i, s: cut_short(i, s, b"x"), ""),
    ("the staging folder's cluster without its entry", "vfat",
     lambda i, s: (number_in_order(i), stray_cluster(i)), "order number"),
    ("the order step cut short, its mark left", "vfat",
     lambda i, s: (cut_short(i, s), mark(i, s)), "order"),
    ("a mark holding bytes", "vfat",
     lambda i, s: (cut_short(i, s), mark(i, s, b"x")), ""),
    ("a mark outside the staging folder", "vfat",
     lambda i, s: (number_in_order(i), mark(i, s, place="")), ""),
    ("a whole twin in the staging folder", "vfat",
     lambda i, s: twin(i, s, stick.contents), "order number"),
    ("an empty twin in the staging folder", "vfat",
     lambda i, s: twin(i, s, lambda n: b""), "order"),
    ("a whole twin in the marked staging folder", "vfat",
     lambda i, s: (twin(i, s, stick.contents), mark(i, s)), "order number"),
]


def poke(image, offset, byte):
    with open(image, "r+b") as out:
        out.seek(offset)
        out.write(bytes([byte]))


FILLED = [(stick.FOLDER, True), (stick.PLAYLIST, False)]
# The readers of both file systems, on sticks as make leaves them, flagged
# or broken: name, file system, change(image), the top folder's entries,
# whether fsck's findings are left after what a pull may leave, and the
# words for a stick with none.
READERS = [
    ("FAT32", "vfat", lambda i: None, FILLED, False,
     "nothing but the unmounted flag"),
    ("FAT32 marked as mounted", "vfat", lambda i: poke(i, 65, 1), FILLED,
     False, "nothing but the unmounted flag"),
    ("FAT32 with its boot sector's signature gone", "vfat",
     lambda i: poke(i, 510, 0), FILLED, True, None),
    ("exFAT", "exfat", lambda i: None, [], False, "clean"),
    ("exFAT marked as mounted", "exfat",
     lambda i: poke(i, stick.EXFAT_FLAGS, stick.EXFAT_DIRTY), [], False,
     "clean, the volume's dirty flag set"),
    ("exFAT marked with a media failure", "exfat",
     lambda i: poke(i, stick.EXFAT_FLAGS, 4), [], True, None),
    ("exFAT with its boot region's checksum wrong", "exfat",
     lambda i: poke(i, 3 * 512 + 7, 0x55), [], True, None),
]


# fsck.exfat's lines after a pull: whether each is the one file in flight
# standing in two places (this side cannot write such a stick).
SHARED = "/Music/QUENBY.$$$/000151Song 166.mp3"
EXFAT_LINES = [
    ("ERROR: %s: cluster is already allocated for the other file. truncated"
     " to 0 bytes at 0x3a3b60. Truncate (y/N)? n" % SHARED, True),
    ("ERROR: /Music/000150Song 165.mp3: cluster is already allocated for the"
     " other file. truncated to 0 bytes at 0x3a3b60. Truncate (y/N)? n",
     False),
    ("ERROR: %s: more clusters are allocated. truncate to 0 bytes. "
     "Truncate (y/N)? n" % SHARED, False),
]


def read_exfat_lines():
    return ["fsck.exfat's line %d" % n
            for n, (line, twin) in enumerate(EXFAT_LINES, start=1)
            if stick.ExfatStick.twin([line], {SHARED, "/Music/Song 166.mp3"})
            != twin]


def read_sticks(image):
    """Each reader, and the files an exFAT stick's seed holds for the
    machine to copy, in an order in which they can be copied."""
    failures = []
    for name, fs, change, top, findings, clean in READERS:
        stick.make(image, FILES, fs)
        change(image)
        reader = stick.open_stick(image)
        files = reader.files("")
        if (reader.entries("") != top or
                bool(reader.findings()) != findings or
                (not findings and reader.clean != clean) or
                sorted(files) != sorted([stick.PLAYLIST] * bool(top) + [
                    "%s/%s" % (stick.FOLDER, n) for n in stick.names(
                        FILES).values() if top])):
            failures.append(name)
    seed = image + ".seed"
    with open(os.path.join(seed, stick.MANIFEST)) as manifest:
        copied = manifest.read().splitlines()
    expected = {"%s/%s" % (stick.FOLDER, name): stick.contents(number)
                for number, name in stick.names(FILES).items()}
    seeded = {}
    for path in copied:
        if path.endswith("/"):
            seeded[path] = os.path.isdir(os.path.join(seed, path))
        elif os.path.dirname(path) + "/" in seeded or "/" not in path:
            with open(os.path.join(seed, path), "rb") as data:
                seeded[path] = data.read()
    playlist = seeded.pop(stick.PLAYLIST, b"").decode().split("\r\n")
    if (seeded.pop(stick.FOLDER + "/", False) is not True or
            seeded != expected or
            [line.replace("\\", "/") for line in playlist[2::2]] !=
            ["%s/%s" % (stick.FOLDER, stick.names(FILES)[number])
             for number in stick.playlist_order(FILES)]):
        failures.append("the exFAT stick's seed")
    return failures


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as staging:
        image = os.path.join(staging, "stick.img")
        for name in read_sticks(image) + read_exfat_lines():
            failures += 1
            print("FAILED: the reading of %s" % name)
        for name, fs, change, passes in CASES:
            for when in READINGS:
                expected = when in passes.split()
                stick.make(image, FILES, fs)
                change(image, staging)
                passed = stick.check(image, when, FILES) == 0
                if passed != expected:
                    failures += 1
                    print("FAILED: %s, %s: %s where %s was expected"
                          % (name, when, "passed" if passed else "failed",
                             "pass" if expected else "failure"))
    print("%d cases, %d failed"
          % (len(READINGS) * len(CASES) + len(READERS) + 1 +
             len(EXFAT_LINES), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

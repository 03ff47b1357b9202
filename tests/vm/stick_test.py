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


def replace(image, name, data, staging):
    path = os.path.join(staging, "data")
    with open(path, "wb") as out:
        out.write(data)
    mtools("mcopy", "-o", "-i", image, path, music(name))


ALL = range(1, FILES + 1)
READINGS = ("end", "during", "order", "number", "remove")

# name, change(image, staging), the readings it passes (the others fail)
CASES = [
    ("untouched", lambda i, s: None, "during remove"),
    ("half renamed", lambda i, s: rename(i, range(1, 7)), "during"),
    ("all renamed in place, out of order", lambda i, s: rename(i, ALL),
     "during order"),
    ("all renamed in order", lambda i, s: number_in_order(i),
     "end during order number"),
    ("all renamed, the log left",
     lambda i, s: (number_in_order(i), replace(i, "../output.txt", b"x", s)),
     "during order number"),
    ("one emptied",
     lambda i, s: (number_in_order(i), replace(i, numbered(3), b"", s)), ""),
    ("one holding another's bytes",
     lambda i, s: (number_in_order(i),
                   replace(i, numbered(3), stick.contents(4), s)), ""),
    ("one lost",
     lambda i, s: (number_in_order(i), mtools("mdel", "-i", i,
                                              music(numbered(5)))), ""),
    ("a stranger beside them",
     lambda i, s: (number_in_order(i), replace(i, "stray.mp3", b"x", s)), ""),
    ("the order step cut short", cut_short, "order"),
    ("a placeholder holding bytes",
     lambda i, s: cut_short(i, s, b"x"), ""),
    ("a whole twin in the staging folder",
     lambda i, s: twin(i, s, stick.contents), "order number"),
    ("an empty twin in the staging folder",
     lambda i, s: twin(i, s, lambda n: b""), "order"),
]


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as staging:
        image = os.path.join(staging, "stick.img")
        for name, change, passes in CASES:
            for when in READINGS:
                expected = when in passes.split()
                stick.make(image, FILES)
                change(image, staging)
                passed = stick.check(image, when, FILES) == 0
                if passed != expected:
                    failures += 1
                    print("FAILED: %s, %s: %s where %s was expected"
                          % (name, when, "passed" if passed else "failed",
                             "pass" if expected else "failure"))
    print("%d cases, %d failed" % (len(READINGS) * len(CASES), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

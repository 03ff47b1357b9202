#!/usr/bin/env python3
"""The pull test's reading of a stick must fail every stick that lost
something: each case makes a small stick, changes it with mtools as a pull
could have left it, and expects stick.py's verdict for a pull at the end of
a run and for one during it."""

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


def replace(image, name, data, staging):
    path = os.path.join(staging, "data")
    with open(path, "wb") as out:
        out.write(data)
    mtools("mcopy", "-o", "-i", image, path, music(name))


ALL = range(1, FILES + 1)

# name, change(image, staging), passes at the end, passes during the run
CASES = [
    ("untouched", lambda i, s: None, False, True),
    ("half renamed", lambda i, s: rename(i, range(1, 7)), False, True),
    ("all renamed", lambda i, s: rename(i, ALL), True, True),
    ("all renamed, the log left",
     lambda i, s: (rename(i, ALL), replace(i, "../output.txt", b"x", s)),
     False, True),
    ("one emptied",
     lambda i, s: (rename(i, ALL), replace(i, numbered(3), b"", s)),
     False, False),
    ("one holding another's bytes",
     lambda i, s: (rename(i, ALL),
                   replace(i, numbered(3), stick.contents(4), s)),
     False, False),
    ("one lost",
     lambda i, s: (rename(i, ALL), mtools("mdel", "-i", i,
                                          music(numbered(5)))),
     False, False),
    ("a stranger beside them",
     lambda i, s: (rename(i, ALL), replace(i, "stray.mp3", b"x", s)),
     False, False),
]


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as staging:
        image = os.path.join(staging, "stick.img")
        for name, change, at_end, during in CASES:
            for when, expected in (("end", at_end), ("during", during)):
                stick.make(image, FILES)
                change(image, staging)
                passed = stick.check(image, when, FILES) == 0
                if passed != expected:
                    failures += 1
                    print("FAILED: %s, %s: %s where %s was expected"
                          % (name, when, "passed" if passed else "failed",
                             "pass" if expected else "failure"))
    print("%d cases, %d failed" % (2 * len(CASES), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

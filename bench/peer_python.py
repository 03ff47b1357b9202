"""What a user might write instead of the program: number every file that
the playlist given as the first argument lists."""
import os
import sys


def main():
    number = 0
    with open(sys.argv[1], encoding="latin-1") as playlist:
        for line in playlist:
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            number += 1
            folder, _, name = line.rpartition("\\")
            folder = folder.replace("\\", "/")
            old = folder + "/" + name
            new = folder + "/" + "%06d" % number + name
            if os.path.exists(new):
                print("not renamed, exists:", new, file=sys.stderr)
                continue
            try:
                os.rename(old, new)
            except OSError as error:
                print(error, file=sys.stderr)


main()

#!/usr/bin/env python3
"""Resets the machine, with no sync, right after the Kth rename into FOLDER.

  reset_after_renames.py FOLDER K MARKER READY

Runs inside the emulated machine (tests/vm/pull.sh starts it). Watches
FOLDER through inotify, which tells of each rename as the kernel makes it,
before the renaming program has put it on the medium; creates READY once it
watches. At the Kth rename it writes MARKER (on the shared folder) and
resets. How long a run takes here swings with the host's disk, so a count
of renames lands inside the run where a delay may not.
"""

import ctypes
import os
import struct
import sys

IN_MOVED_TO = 0x80
EVENT = struct.Struct("iIII")


def main():
    folder, wanted, marker, ready = sys.argv[1], int(sys.argv[2]), \
        sys.argv[3], sys.argv[4]
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init()
    if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_MOVED_TO) < 0:
        print("reset_after_renames.py: cannot watch %s" % folder,
              file=sys.stderr)
        return 1
    open(ready, "w").close()
    seen = 0
    while True:
        data = os.read(fd, 65536)
        offset = 0
        while offset < len(data):
            _, mask, _, length = EVENT.unpack_from(data, offset)
            offset += EVENT.size + length
            if mask & IN_MOVED_TO:
                seen += 1
        if seen >= wanted:
            with open(marker, "w") as out:
                out.write("pulled as rename %d was made\n" % seen)
            with open("/proc/sysrq-trigger", "w") as trigger:
                trigger.write("b")
            return 1  # Only when the reset did not happen.


if __name__ == "__main__":
    sys.exit(main())

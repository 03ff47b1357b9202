#!/usr/bin/env python3
"""Resets the machine, with no sync, at a moment of a run in FOLDER.

  reset_after_renames.py FOLDER WHEN MARKER READY

WHEN is a count K: right after the Kth rename into FOLDER; "staging": as
the order step's staging folder appears in FOLDER; "out:K" or "back:K":
right after the order step moved its Kth file out of FOLDER, or back into
it.

Runs inside the emulated machine (tests/vm/pull.sh starts it). Watches
FOLDER through inotify, which tells of each change as the kernel makes it,
before the renaming program has put it on the medium; creates READY once it
watches. At the moment it writes MARKER (on the shared folder) and resets.
How long a run takes here swings with the host's disk, so a count of
changes lands inside the run where a delay may not.
"""

import ctypes
import os
import struct
import sys

IN_MOVED_FROM, IN_MOVED_TO, IN_CREATE = 0x40, 0x80, 0x100
EVENT = struct.Struct("iIII")
STAGING = b"QUENBY.$$$"


def events(fd):
    """(mask, name) of each event, as the kernel reports them."""
    while True:
        data = os.read(fd, 65536)
        offset = 0
        while offset < len(data):
            _, mask, _, length = EVENT.unpack_from(data, offset)
            name = data[offset + EVENT.size:offset + EVENT.size + length]
            offset += EVENT.size + length
            yield mask, name.rstrip(b"\0")


def main():
    folder, when, marker, ready = sys.argv[1:5]
    kind, _, wanted = when.rpartition(":")
    kind = kind or ("staging" if wanted == "staging" else "rename")
    wanted = int(wanted) if wanted.isdigit() else 1
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init()
    if fd < 0 or libc.inotify_add_watch(
            fd, folder.encode(), IN_MOVED_FROM | IN_MOVED_TO | IN_CREATE) < 0:
        print("reset_after_renames.py: cannot watch %s" % folder,
              file=sys.stderr)
        return 1
    open(ready, "w").close()
    seen, staged = 0, False
    for mask, name in events(fd):
        staged = staged or (mask & IN_CREATE and name == STAGING)
        # Once the staging folder stands, a file leaves the folder only for
        # it, and comes only from it.
        counts = {"staging": staged,
                  "rename": mask & IN_MOVED_TO,
                  "out": staged and mask & IN_MOVED_FROM,
                  "back": staged and mask & IN_MOVED_TO}[kind]
        seen += 1 if counts else 0
        if seen >= wanted:
            break
    with open(marker, "w") as out:
        out.write({"rename": "pulled as rename %d was made\n",
                   "staging": "pulled as the staging folder appeared\n",
                   "out": "pulled as file %d went out of the folder\n",
                   "back": "pulled as file %d came back\n"}[kind]
                  % ((seen,) if kind != "staging" else ()))
    with open("/proc/sysrq-trigger", "w") as trigger:
        trigger.write("b")
    return 1  # Only when the reset did not happen.


if __name__ == "__main__":
    sys.exit(main())

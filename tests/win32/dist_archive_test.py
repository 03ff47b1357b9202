#!/usr/bin/env python3
"""Checks the Windows release archive as a download site would: exactly the
program, its README and the licences, text files with Windows line ends, and
a program that is a 32-bit Windows GUI program without debug information.

Usage: dist_archive_test.py ARCHIVE.zip LICENSE [unittest arguments]
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARCHIVE = ""
LICENSE = ""
TEXTS = ["README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]


def sections(image):
    """The section names of a PE image; long names, which the linker keeps
    in the COFF string table as "/offset", resolved."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, = struct.unpack_from("<H", image, pe + 6)
    symbols, symbol_count = struct.unpack_from("<II", image, pe + 12)
    optional_size, = struct.unpack_from("<H", image, pe + 20)
    strings = symbols + 18 * symbol_count
    names = []
    for i in range(count):
        raw = image[pe + 24 + optional_size + 40 * i:][:8].rstrip(b"\0")
        if raw.startswith(b"/") and symbols:
            at = strings + int(raw[1:])
            raw = image[at:image.index(b"\0", at)]
        names.append(raw.decode("ascii", "replace"))
    return names


class ArchiveTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.zip = zipfile.ZipFile(ARCHIVE)
        cls.top = os.path.basename(ARCHIVE)[:-len(".zip")] + "/"

    def read(self, name):
        return self.zip.read(self.top + name)

    def test_exactly_the_program_its_readme_and_the_licences(self):
        files = sorted(n for n in self.zip.namelist() if not n.endswith("/"))
        folders = [n for n in self.zip.namelist() if n.endswith("/")]
        self.assertEqual(sorted(self.top + n for n in ["Quenby.exe"] + TEXTS),
                         files)
        self.assertTrue(set(folders) <= {self.top}, folders)

    def test_texts_have_windows_line_ends(self):
        for name in TEXTS:
            text = self.read(name)
            self.assertGreater(text.count(b"\r\n"), 10, name)
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), name)
        with open(LICENSE, "rb") as f:
            self.assertEqual(f.read().replace(b"\n", b"\r\n"),
                             self.read("LICENSE.txt"))

    def test_program_is_32_bit_windows_gui_without_debug_information(self):
        image = self.read("Quenby.exe")
        with tempfile.NamedTemporaryFile(suffix=".exe") as f:
            f.write(image)
            f.flush()
            kind = subprocess.run(["file", "-b", f.name], capture_output=True,
                                  text=True, check=True).stdout
        self.assertIn("PE32 executable (GUI) Intel 80386", kind)
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        machine, = struct.unpack_from("<H", image, pe + 4)
        magic, = struct.unpack_from("<H", image, pe + 24)
        subsystem, = struct.unpack_from("<H", image, pe + 24 + 68)
        self.assertEqual((0x14C, 0x10B, 2), (machine, magic, subsystem))
        names = sections(image)
        self.assertIn(".rsrc", names)
        self.assertEqual([], [n for n in names if "debug" in n], names)
        # No symbol table: strip leaves at most an empty string table.
        symbol_count, = struct.unpack_from("<I", image, pe + 16)
        self.assertEqual(0, symbol_count)


if __name__ == "__main__":
    ARCHIVE, LICENSE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)

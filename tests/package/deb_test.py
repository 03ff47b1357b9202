#!/usr/bin/env python3
"""Checks the Debian packages that dpkg-buildpackage made, the way a
distribution would, without installing them: lintian, the file list, the
control fields, the stripped program beside its detached debug symbols, and
the desktop entry and AppStream metainfo as they are packaged.

Usage: deb_test.py DEB_DIR VERSION [unittest arguments]
"""
import configparser
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

DEB_DIR = ""
VERSION = ""
ARCH = subprocess.run(["dpkg", "--print-architecture"], capture_output=True,
                      text=True, check=True).stdout.strip()
METAINFO = "usr/share/metainfo/org.example.quenby.Quenby.metainfo.xml"
ICON_SIZES = [16, 32, 48, 64, 128]

# Every file of the package and its mode; directories only as their parents.
EXPECTED_FILES = {
    "usr/bin/Quenby": "-rwxr-xr-x",
    "usr/share/applications/Quenby.desktop": "-rw-r--r--",
    "usr/share/doc/quenby/changelog.gz": "-rw-r--r--",
    "usr/share/doc/quenby/copyright": "-rw-r--r--",
    # README.md, larger than 4 KiB, which debhelper compresses.
    "usr/share/doc/quenby/README.md.gz": "-rw-r--r--",
    "usr/share/icons/hicolor/scalable/apps/quenby.svg": "-rw-r--r--",
    "usr/share/man/man1/Quenby.1.gz": "-rw-r--r--",
    METAINFO: "-rw-r--r--",
}
EXPECTED_FILES.update({
    "usr/share/icons/hicolor/%dx%d/apps/quenby.png" % (n, n): "-rw-r--r--"
    for n in ICON_SIZES})


def run(*command):
    return subprocess.run(command, capture_output=True, text=True)


def package(name):
    return os.path.join(DEB_DIR, "%s_%s_%s.deb" % (name, VERSION, ARCH))


def listing(deb):
    """(mode, owner, path) for each member, as `dpkg-deb -c` shows it."""
    out = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True,
                         text=True, check=True).stdout
    members = []
    for line in out.splitlines():
        fields = line.split(None, 5)
        path = fields[5].split(" -> ")[0]
        members.append((fields[0], fields[1], path[2:].rstrip("/")))
    return members


class PackageTest(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="quenby-deb-")
        subprocess.run(["dpkg-deb", "-x", package("quenby"), cls.root],
                       check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def path(self, name):
        return os.path.join(self.root, name)


class LintianTest(unittest.TestCase):
    def test_no_error_and_no_warning(self):
        changes = os.path.join(DEB_DIR,
                               "quenby_%s_%s.changes" % (VERSION, ARCH))
        result = run("lintian", "--fail-on", "error,warning",
                     "--display-info", changes)
        print(result.stdout + result.stderr)
        self.assertEqual(0, result.returncode)
        tags = [l for l in result.stdout.splitlines() if l[:2] in ("E:", "W:")]
        self.assertEqual([], tags)


class ContentsTest(PackageTest):
    def test_exact_file_list(self):
        members = listing(package("quenby"))
        files = {path: mode for mode, _, path in members
                 if not mode.startswith("d")}
        self.assertEqual(EXPECTED_FILES, files)
        for mode, owner, path in members:
            self.assertEqual("root/root", owner, path)
            if mode.startswith("d") and path:
                # No directory that holds nothing of the package.
                self.assertTrue(any(f.startswith(path + "/") for f in files),
                                path)

    def test_control_fields(self):
        control = run("dpkg-deb", "-f", package("quenby")).stdout
        fields = dict(re.findall(r"^(\S+): (.*)$", control, re.M))
        for name, value in [("Package", "quenby"), ("Version", VERSION),
                            ("Architecture", ARCH), ("Section", "sound"),
                            ("Priority", "optional")]:
            self.assertEqual(value, fields.get(name), name)
        self.assertNotRegex(fields["Maintainer"], r"@localhost\b")
        description = control.split("Description:", 1)[1].splitlines()
        self.assertGreater(len(description), 3, "extended description")

    def test_depends_on_the_packages_of_the_linked_libraries(self):
        program = self.path("usr/bin/Quenby")
        needed = re.findall(r"^\s*NEEDED\s+(\S+)$",
                            run("objdump", "-p", program).stdout, re.M)
        self.assertIn("libQt6Widgets.so.6", needed)
        # The task bar's progress goes through Qt's own D-Bus module.
        self.assertIn("libQt6DBus.so.6", needed)
        where = dict(re.findall(r"^\s*(\S+) => (/\S+)",
                                run("ldd", program).stdout, re.M))
        owners = set()
        for library in needed:
            path = where[library]
            candidates = [path, os.path.realpath(path)]
            candidates += [c[4:] for c in candidates if c.startswith("/usr/")]
            for candidate in candidates:
                found = run("dpkg", "-S", candidate)
                if found.returncode == 0:
                    owners.add(found.stdout.split(":")[0])
                    break
            else:
                self.fail("no package holds " + path)
        depends = run("dpkg-deb", "-f", package("quenby"), "Depends").stdout
        named = {re.split(r"[ (]", d.strip())[0] for d in depends.split(",")}
        self.assertEqual(owners, named)

    def test_program_stripped_and_its_debug_symbols_apart(self):
        program = self.path("usr/bin/Quenby")
        sections = run("readelf", "-S", "-W", program).stdout
        self.assertNotIn(".debug_", sections)
        self.assertNotIn(".symtab", sections)
        build_id = re.search(r"Build ID: ([0-9a-f]+)",
                             run("readelf", "-n", program).stdout).group(1)
        debug_file = "usr/lib/debug/.build-id/%s/%s.debug" % (build_id[:2],
                                                             build_id[2:])
        paths = [p for _, _, p in listing(package("quenby-dbgsym"))]
        self.assertIn(debug_file, paths)

    def test_icons_have_their_sizes(self):
        for size in ICON_SIZES:
            png = self.path("usr/share/icons/hicolor/%dx%d/apps/quenby.png" %
                            (size, size))
            with open(png, "rb") as f:
                head = f.read(24)
            self.assertEqual(b"\x89PNG", head[:4], png)
            self.assertEqual((size, size), struct.unpack(">II", head[16:24]),
                             png)


class ValidatorsTest(PackageTest):
    def test_desktop_entry(self):
        entry = self.path("usr/share/applications/Quenby.desktop")
        result = run("desktop-file-validate", entry)
        print(result.stdout + result.stderr)
        # Hints count too: they name real faults, such as two main
        # categories that put the program into two menus.
        self.assertEqual((0, ""), (result.returncode,
                                   result.stdout + result.stderr))

    def test_metainfo(self):
        result = run("appstreamcli", "validate", "--no-net",
                     self.path(METAINFO))
        print(result.stdout + result.stderr)
        self.assertEqual(0, result.returncode)
        hints = [l for l in result.stdout.splitlines()
                 if re.match(r"[EWI]: ", l)]
        self.assertEqual([], hints)

    def test_references_between_the_files(self):
        desktop = configparser.ConfigParser(interpolation=None)
        desktop.optionxform = str
        desktop.read(self.path("usr/share/applications/Quenby.desktop"))
        entry = desktop["Desktop Entry"]
        metainfo = ElementTree.parse(self.path(METAINFO)).getroot()
        launchable = metainfo.find("launchable").text
        releases = [r.get("version") for r in metainfo.iter("release")]
        cases = [
            ("launchable", "usr/share/applications/" + launchable),
            ("Exec", "usr/bin/" + entry["Exec"]),
            ("binary", "usr/bin/" + metainfo.find("provides/binary").text),
            ("Icon", "usr/share/icons/hicolor/scalable/apps/%s.svg" %
             entry["Icon"]),
        ]
        for what, path in cases:
            self.assertTrue(os.path.isfile(self.path(path)), what + ": " + path)
        self.assertIn(VERSION, releases)


if __name__ == "__main__":
    DEB_DIR, VERSION = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)

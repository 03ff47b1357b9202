#!/usr/bin/env python3
"""The style check's own failures: a straying file fails it and is named, a
file of the right style is not, a build folder that git ignores is left
alone, and a machine without clang-format fails rather than passes."""

import os
import shutil
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "scripts", "check-format.sh")
BASH = shutil.which("bash")

GOOD = "int Twice(int n) { return 2 * n; }\n"
STRAY = "int  Twice( int n ){return 2*n;}\n"


class CheckFormatTest(unittest.TestCase):
    def setUp(self):
        self.tree = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.tree)
        shutil.copy(os.path.join(ROOT, ".clang-format"), self.tree)
        self.write("engine/good.cc", GOOD)
        self.write("fuzz/corpus/seed", STRAY)  # Not C++: never checked.

    def write(self, path, text):
        path = os.path.join(self.tree, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def check(self, env=None):
        done = subprocess.run([BASH, SCRIPT, self.tree], env=env,
                              capture_output=True, text=True, timeout=120)
        return done.returncode, done.stdout + done.stderr

    def test_a_straying_file_fails_and_is_named(self):
        self.write("tests/qt/bad.h", STRAY)
        status, output = self.check()
        self.assertEqual(status, 1, output)
        self.assertIn("  tests/qt/bad.h\n", output)
        self.assertNotIn("good.cc", output)
        self.write("tests/qt/bad.h", GOOD)
        self.assertEqual(self.check(), (0, "2 files follow .clang-format\n"))

    def test_a_checkout_leaves_ignored_files_alone(self):
        self.write(".gitignore", "/engine/build/\n")
        self.write("engine/build/generated.cc", STRAY)
        subprocess.run(["git", "init", "-q", self.tree], check=True)
        status, output = self.check()
        self.assertEqual(status, 0, output)
        self.write("ui/win32/new.cpp", STRAY)  # Not added yet: still checked.
        status, output = self.check()
        self.assertEqual(status, 1, output)
        self.assertIn("  ui/win32/new.cpp\n", output)

    def test_no_clang_format_fails(self):
        tools = os.path.join(self.tree, "tools")
        os.mkdir(tools)
        for tool in ["dirname", "git", "find", "sort", "grep", "head", "sed"]:
            os.symlink(shutil.which(tool), os.path.join(tools, tool))
        status, output = self.check(dict(os.environ, PATH=tools))
        self.assertEqual(status, 1, output)
        self.assertIn("no clang-format", output)


if __name__ == "__main__":
    unittest.main()

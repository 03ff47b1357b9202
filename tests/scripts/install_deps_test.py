#!/usr/bin/env python3
"""The install script's decisions, with stand-ins for apt-get, dpkg-query,
dpkg, sleep and the 32-bit probe's bash on PATH: what it asks apt for, what
it says, and its exit status, while the mirror is mid-sync, 32-bit code
cannot run, or a package cannot be had. Nothing real is installed."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "scripts", "install-deps.sh")
STANDINS = ["apt-get", "dpkg-query", "dpkg", "sleep", "bash", "sudo"]

# One program under every stand-in's name: logs its call, then acts as the
# scenario (a JSON file) says.
STANDIN = r'''#!/usr/bin/env python3
import json, os, sys
name = os.path.basename(sys.argv[0])
args = sys.argv[1:]
if name == "sudo":
    os.execvp(args[0], args)
scenario = json.load(open(os.environ["STANDIN_SCENARIO"]))
log = os.environ["STANDIN_LOG"]
with open(log) as f:
    calls = f.read().splitlines()
with open(log, "a") as f:
    f.write(" ".join([name] + args) + "\n")
if name == "dpkg-query":
    if args[-1] in scenario["installed"]:
        print("install ok installed", end="")
        sys.exit(0)
    sys.exit(1)
if name == "dpkg":
    if args == ["--print-foreign-architectures"]:
        print("\n".join(scenario.get("archs", [])))
    sys.exit(0)
if name == "bash":
    sys.exit(32 if scenario["runs_32_bit"] else 126)
if name == "apt-get" and args[0] == "update":
    tries = sum(1 for c in calls if c.startswith("apt-get update"))
    if tries < scenario["update_failures"]:
        print("E: File has unexpected size (374820 != 376004). "
              "Mirror sync in progress?", file=sys.stderr)
        sys.exit(100)
    sys.exit(0)
if name == "apt-get" and args[0] == "install":
    wanted = [a for a in args if not a.startswith("-")][1:]
    if "-s" in args and "wine32:i386" in wanted and scenario["lists_disagree"]:
        print(" wine32:i386 : Depends: libwine:i386 but it is not going to "
              "be installed")
        print("E: Unable to correct problems, you have held broken packages.",
              file=sys.stderr)
        sys.exit(100)
    for package in wanted:
        if package in scenario["unavailable"]:
            print("E: Unable to locate package " + package, file=sys.stderr)
            sys.exit(100)
    sys.exit(0)
sys.exit(0)
'''

with open(SCRIPT) as f:
    NEEDED = f.read().split('packages="', 1)[1].split('"', 1)[0].split()

NO_32_BIT = "This kernel runs no 32-bit programs"
KEPT_FAILING = "apt-get update kept failing; going on"
DISAGREE = "The i386 and amd64 package lists disagree"

# name, installed, update failures, runs 32-bit, lists disagree, unavailable,
# then what must follow: status, update tries, pauses, packages installed
# (None: no install), whether i386 is added, lines said (and lines not said).
CASES = [
    ("all there", NEEDED + ["wine32:i386"], 0, True, False, [],
     0, 0, [], None, False, [], [NO_32_BIT, "Installing"]),
    ("fresh, mirror fine", [], 0, True, False, [],
     0, 1, [], NEEDED + ["wine32:i386"], True, [], [KEPT_FAILING, DISAGREE]),
    ("mirror mid-sync, then done", [], 2, True, False, [],
     0, 3, ["15", "30"], NEEDED + ["wine32:i386"], True, [], [KEPT_FAILING]),
    ("mirror mid-sync, lists disagree", [], 99, True, True, [],
     0, 4, ["15", "30", "60"], NEEDED, True, [KEPT_FAILING, DISAGREE], []),
    ("no 32-bit code", [], 0, False, False, [],
     0, 1, [], NEEDED, False, [NO_32_BIT], [DISAGREE]),
    ("no 32-bit code, all else there", NEEDED, 0, False, False, [],
     0, 0, [], None, False, [], [NO_32_BIT]),
    ("only wine32 missing, mirror mid-sync", NEEDED, 99, True, True, [],
     0, 1, [], None, True, [DISAGREE], []),
    ("a needed package missing from the lists", [], 99, False, False, ["fusefat"],
     1, 4, ["15", "30", "60"], None, False,
     ["Could not install: cmake", "E: Unable to locate package fusefat"], []),
]


class InstallDepsTest(unittest.TestCase):
    def run_script(self, scenario):
        with tempfile.TemporaryDirectory() as tmp:
            bin_dir = os.path.join(tmp, "bin")
            os.mkdir(bin_dir)
            for name in STANDINS:
                path = os.path.join(bin_dir, name)
                with open(path, "w") as f:
                    f.write(STANDIN)
                os.chmod(path, 0o755)
            scenario_file = os.path.join(tmp, "scenario.json")
            with open(scenario_file, "w") as f:
                json.dump(scenario, f)
            log = os.path.join(tmp, "calls")
            open(log, "w").close()
            env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"],
                       STANDIN_SCENARIO=scenario_file, STANDIN_LOG=log)
            done = subprocess.run(["sh", SCRIPT], env=env, capture_output=True,
                                  text=True, timeout=60)
            with open(log) as f:
                calls = f.read().splitlines()
        return done, calls

    def test_decisions(self):
        for (name, installed, update_failures, runs_32_bit, disagree,
             unavailable, status, updates, pauses, install, adds_i386,
             said, not_said) in CASES:
            with self.subTest(name):
                done, calls = self.run_script({
                    "installed": installed, "update_failures": update_failures,
                    "runs_32_bit": runs_32_bit, "lists_disagree": disagree,
                    "unavailable": unavailable})
                output = done.stdout + done.stderr
                self.assertEqual(done.returncode, status, output)
                self.assertEqual(
                    sum(1 for c in calls if c.startswith("apt-get update")),
                    updates, calls)
                self.assertEqual(
                    [c.split()[1] for c in calls if c.startswith("sleep")],
                    pauses)
                installs = [c.split()[1:] for c in calls
                            if c.startswith("apt-get install") and " -s " not in c]
                if install is None and status == 0:
                    self.assertEqual(installs, [])
                elif install is not None:
                    self.assertEqual(len(installs), 1, calls)
                    self.assertEqual(
                        [a for a in installs[0] if not a.startswith("-")][1:],
                        install)
                self.assertEqual(
                    "dpkg --add-architecture i386" in calls, adds_i386, calls)
                for line in said:
                    self.assertIn(line, output)
                for line in not_said:
                    self.assertNotIn(line, output)
                if status != 0:
                    # The reason in one or two lines.
                    lines = done.stderr.splitlines()
                    start = [i for i, line in enumerate(lines)
                             if line.startswith("Could not install")][0]
                    self.assertLessEqual(len(lines) - start, 2, lines)


if __name__ == "__main__":
    unittest.main()

# Replays the transcripts (tests/transcripts, read by tests/transcript.py,
# checked by tests/oracle.py) on wayfold.exe under Wine, in a throwaway
# prefix: one test a run and one a variant, named by its file and line, such as
#   python3 -m unittest run.Transcripts.test_add_txt_12
# A run that needs Windows' answers that Wine cannot give uses the test build
# (faults/wayfold.exe). The program is started by helper.exe (helper.cpp) with
# the exact UTF-16 command line, in the folder Y:\ (so that every other
# drive's current folder is its root, unless "cwd" gives one), standard
# output a file; the helper stops a run that does not end (exit 124).
# WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_FAULTS_EXE,
# WAYFOLD_HELPER: the test build and the helper.
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import oracle  # noqa: E402
import transcript  # noqa: E402

BUILT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../build/windows/")
GIVEN = os.environ.get
PROGRAMS = {
    "real": GIVEN("WAYFOLD_EXE") or GIVEN("WAYFOLD_BUILT_EXE") or BUILT + "wayfold.exe",
    "faults": GIVEN("WAYFOLD_FAULTS_EXE") or BUILT + "faults/wayfold.exe",
    "": GIVEN("WAYFOLD_HELPER") or BUILT + "e2e/helper.exe",
}
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# A Wine prefix of the tests' own, kept up by one wineserver.
class Prefix:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        # Wine takes the ANSI and OEM code pages from LC_CTYPE, the thread
        # locale from LC_MESSAGES; a locale the machine lacks would quietly be
        # English.
        for name in ("fr_FR", "ja_JP"):
            locale = "%s/%s.UTF-8" % (self.root, name)
            subprocess.run(["localedef", "-i", name, "-f", "UTF-8", locale], **QUIET)
        kept = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "WAYFOLD"))}
        self.env = dict(kept, WINEPREFIX=self.root + "/prefix", WINEDEBUG="-all", HOME=self.root)
        self.env.update(LOCPATH=self.root, WINEDLLOVERRIDES="mscoree,mshtml=")
        for command in ([WINE, "wineboot", "-i"], [WINESERVER, "-w"], [WINESERVER, "-p"]):
            subprocess.run(command, env=self.env, timeout=300, **QUIET)
        self.devices = self.root + "/prefix/dosdevices/"
        self.tools = self.root + "/prefix/drive_c/e2e-tools/"
        os.unlink(self.devices + "z:")  # the Unix tree: no run may write outside
        for folder, program in PROGRAMS.items():
            os.makedirs(self.tools + folder, exist_ok=True)
            shutil.copy(program, self.tools + folder)
        self.windows = set(os.listdir(self.devices + "c:"))
        # The services Wine starts with the first program stay up, holding its
        # standard handles: let them hold these, not a run's pipes. The helper
        # called so ends at once.
        subprocess.run([WINE, self.tools + "helper.exe"], env=self.env, timeout=300, **QUIET)
        self.baseline = {}
        self.baseline = self.launch(transcript.Run("", [], "", [], {}), "wayfold /?")["values"]

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)

    # Every folder a run may have made or found, as Windows names it, in capitals.
    def folders(self):
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + device)
            for at, dirs, _ in os.walk(top):
                if at == top and device == "c:":
                    dirs[:] = [d for d in dirs if d not in self.windows]
                drive = "\\" if device == "unc" else device.upper()
                found.add(drive + at[len(top) :].replace("/", "\\").upper())
        return found

    # C: as it was, the drives Y and unc (for the network shares) and those
    # the run names, its folders, files and values.
    def set_up(self, run):
        for name in set(os.listdir(self.devices)) - {"c:"}:
            os.unlink(self.devices + name)
        for name in set(os.listdir(self.devices + "c:")) - self.windows:
            shutil.rmtree(self.devices + "c:/" + name)
        shutil.rmtree(self.root + "/drives", ignore_errors=True)
        for name in ("unc", "Y", *[r for w, r in run.setup if w == "drive"]):
            os.makedirs(self.root + "/drives/" + name)
            device = name.lower() + ":" if len(name) == 1 else name
            os.symlink(self.root + "/drives/" + name, self.devices + device)
        for word, path in (
            (w, transcript.chars(r)) for w, r in run.setup if w in ("folder", "file")
        ):
            # "\\server\share" lies in the drive unc
            device, rest = ("unc", path[1:]) if path[:2] == "\\\\" else (path[:2].lower(), path[2:])
            unix = os.path.realpath(self.devices + device) + rest.replace("\\", "/")
            os.makedirs(unix if word == "folder" else os.path.dirname(unix), exist_ok=True)
            if word == "file":
                open(unix, "w").close()
        with open(self.tools + "values.txt", "w") as f:
            for (scope, name), value in run.before.items():
                if value:
                    f.write("%s %s %d %s\n" % (scope, name, value[0], value[1].hex() or "-"))

    # Starts the command line on the machine the run sets up, with the plan
    # of the test build's answers; what it did, as oracle.py reads it.
    def launch(self, run, line, plan=(), again=True):
        self.set_up(run)
        env = dict(
            self.env, LC_CTYPE=run.locale[0] + ".UTF-8", LC_MESSAGES=run.locale[1] + ".UTF-8"
        )
        faults = list(plan) + run.faults
        for word, _, value in (fault.partition(" ") for fault in faults):
            name = "WAYFOLD_" + word.upper()
            env[name] = env[name] + "|" + value if name in env else value or "1"
        env.update(WAYFOLD_LOG="C:\\e2e-tools\\log.txt", E2E_LINE=line)
        if "cwd" in run.words:
            env["E2E_CWD"] = transcript.chars(run.words["cwd"])
        program = "faults" if faults or "sweep" in run.words else "real"
        command = [WINE, self.tools + "helper.exe", "C:\\e2e-tools\\%s\\wayfold.exe" % program]
        command += [run.words.get("keys", "-"), run.words.get("stdout", "-")]
        before = self.folders()
        with tempfile.TemporaryFile() as out:  # a file, as a pipe would be to the program
            options = dict(env=env, cwd=self.tools, stdin=subprocess.DEVNULL, timeout=120)
            helper = subprocess.run(command, stdout=out, stderr=subprocess.PIPE, **options)
            out.seek(0)
            printed = out.read()
        if helper.returncode and again:  # Wine now and then fails the helper itself
            return self.launch(run, line, plan, again=False)
        if helper.returncode:
            raise AssertionError("the helper failed (%d): %r" % (helper.returncode, helper.stderr))
        with open(self.tools + "after.txt", encoding="cp1252") as f:
            status, *listing = f.read().splitlines()
        with open(self.tools + "log.txt", "a+", encoding="cp1252") as f:  # none: empty
            f.seek(0)
            log = f.read().splitlines()
            f.truncate(0)
        after = self.folders()
        got = dict(out=printed, err=helper.stderr, log=log, plan=faults, folders=after)
        got["values"] = {
            (s, n.upper()): (int(t), bytes.fromhex(d)) for s, n, t, d in map(str.split, listing)
        }
        got["exit"] = None if any(fault.startswith("kill") for fault in plan) else int(status)
        got["before"] = {**self.baseline, **{k: v for k, v in run.before.items() if v}}
        got["made"] = after - before
        got["calls"] = [line.split()[2] for line in log if line.startswith("call ")]
        return got


class Transcripts(unittest.TestCase):
    plains = {}  # the plain run of a block with variants, made once

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def plain(self, run):
        if run.where not in self.plains:
            got = self.prefix.launch(run, run.command)
            found = run.before.get(run.path)
            problems = oracle.compare(run, run.expected, got) + oracle.invariants(run, got, found)
            self.assertFalse(problems, "\n".join([run.where] + problems))
            self.plains[run.where] = got
        return self.plains[run.where]

    def replay(self, run):
        # The sweep: each registry call refused in turn, each query finding the
        # value deleted just before, and a kill after each write.
        calls = self.plain(run)["calls"]
        if "sweep" not in run.words:
            return
        sweep = ["refuse %d" % n for n in range(1, len(calls) + 1)]
        sweep += ["vanish %d" % n for n, kind in enumerate(calls, 1) if kind == "query"]
        sweep += ["kill %d" % n for n in range(1, calls.count("set") + calls.count("delete") + 1)]
        for fault in sweep:
            if fault not in run.variants:
                with self.subTest(fault):
                    self.vary(run, fault, [])

    def vary(self, run, fault, expected):
        plain = self.plain(run)
        got = self.prefix.launch(run, run.command, [fault])
        problems = oracle.compare(run, run.expectations(expected, {}), got)
        problems += oracle.variant_problems(run, plain, got, fault)
        self.assertFalse(problems, "\n".join(["%s, %s" % (run.where, fault)] + problems))


for run in transcript.all_runs():
    replay = lambda self, run=run: self.replay(run)
    setattr(Transcripts, "test_" + re.sub(r"\W", "_", run.where), replay)
    for fault, (where, expected) in run.variants.items():
        vary = lambda self, run=run, fault=fault, e=expected: self.vary(run, fault, e)
        setattr(Transcripts, "test_" + re.sub(r"\W", "_", where), vary)

if __name__ == "__main__":
    unittest.main()

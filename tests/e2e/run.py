# Replays the transcripts (tests/transcripts, read by tests/transcript.py,
# checked by tests/oracle.py) on wayfold.exe under Wine, in a throwaway
# prefix: one test a run, named by its file and line, such as
#   python3 -m unittest run.Transcripts.test_add_txt_12
# A run that needs Windows' answers that Wine cannot give uses the test build
# (faults/wayfold.exe). The program is started by helper.exe (helper.c) with
# the exact UTF-16 command line, in the folder Y:\ (so that every other
# drive's current folder is its root, unless "cwd" gives its =X: entry),
# standard output a file. Also: many runs at once on one Path.
# WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_FAULTS_EXE,
# WAYFOLD_HELPER: the test build and the helper.
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import oracle  # noqa: E402
import transcript  # noqa: E402

BUILT = os.path.join(HERE, "..", "..", "build", "windows")
EXE = (
    os.environ.get("WAYFOLD_EXE")
    or os.environ.get("WAYFOLD_BUILT_EXE")
    or os.path.join(BUILT, "wayfold.exe")
)
FAULTS_EXE = os.environ.get("WAYFOLD_FAULTS_EXE") or os.path.join(BUILT, "faults", "wayfold.exe")
HELPER = os.environ.get("WAYFOLD_HELPER") or os.path.join(BUILT, "e2e", "helper.exe")
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
TOOLS = "C:\\e2e-tools\\"


def wide(text):
    return text.encode("utf-16-le").hex()


def read_listing(path):
    """First what ran (the exit statuses), then the values of both keys."""
    with open(path, encoding="cp1252") as f:
        lines = f.read().splitlines()
    values = {}
    for line in lines[1:]:
        scope, name, kind, data = re.fullmatch(r"(.) (.*) (\d+) (.*)", line).groups()
        values[(scope, name.upper())] = (int(kind), bytes.fromhex(data))
    return [int(s) for s in lines[0].split()], values


class Prefix:
    """A Wine prefix of the tests' own, kept up by one wineserver."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        # Wine takes the ANSI and OEM code pages from LC_CTYPE, the thread
        # locale from LC_MESSAGES; a locale the machine lacks would quietly be
        # English.
        for name in ("fr_FR", "ja_JP"):
            locale = "%s/%s.UTF-8" % (self.root, name)
            subprocess.run(["localedef", "-i", name, "-f", "UTF-8", locale], **QUIET)
        kept = {
            k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "WAYFOLD_F"))
        }
        self.env = dict(kept, WINEPREFIX=self.root + "/prefix", WINEDEBUG="-all", HOME=self.root)
        self.env.update(LOCPATH=self.root, WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.update(LC_CTYPE="fr_FR.UTF-8", LC_MESSAGES="fr_FR.UTF-8")
        for command in ([WINE, "wineboot", "-i"], [WINESERVER, "-w"], [WINESERVER, "-p"]):
            subprocess.run(command, env=self.env, timeout=300, **QUIET)
        self.devices = self.root + "/prefix/dosdevices"
        self.tools = self.root + "/prefix/drive_c/e2e-tools"
        os.unlink(self.devices + "/z:")  # the Unix tree: no run may write outside
        for folder, program in (("", HELPER), ("real", EXE), ("faults", FAULTS_EXE)):
            os.makedirs(os.path.join(self.tools, folder), exist_ok=True)
            shutil.copy(program, os.path.join(self.tools, folder))
        self.baseline = set(os.listdir(self.devices + "/c:"))
        # The services Wine starts with the first program stay up, holding its
        # standard handles: let them hold these, not a run's pipes.
        subprocess.run([WINE, self.tools + "/real/wayfold.exe", "/?"], env=self.env, **QUIET)

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)

    def unix(self, path):  # "\\server\share" lies in the drive "unc"
        unc = path[:2] == "\\\\"
        device = self.devices + "/" + ("unc" if unc else path[:2].lower())
        return os.path.realpath(device) + "/" * unc + path[2:].replace("\\", "/")

    def folders(self):
        """Every folder a run may have made or found, as Windows names it, in capitals."""
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + "/" + device)
            for at, dirs, _ in os.walk(top):
                if at == top and device == "c:":
                    dirs[:] = [d for d in dirs if d not in self.baseline]
                drive = "\\" if device == "unc" else device.upper()
                found.add(drive + at[len(top) :].replace("/", "\\").upper())
        return found

    def set_up(self, run):
        """C: as it was, the drives Y and unc (for the network shares) and those
        the run names, its folders, and its values (the Path and its backup of
        both keys gone first)."""
        for name in set(os.listdir(self.devices)) - {"c:"}:
            os.unlink(self.devices + "/" + name)
        added = set(os.listdir(self.devices + "/c:")) - self.baseline
        for path in [self.devices + "/c:/" + n for n in added] + [self.root + "/drives"]:
            shutil.rmtree(path, ignore_errors=True)
        drives = [r for w, r in run.setup if w == "drive"]
        for name in ("unc", "Y", *drives):
            os.makedirs(self.root + "/drives/" + name)
            device = name.lower() + ":" if len(name) == 1 else name
            os.symlink(self.root + "/drives/" + name, self.devices + "/" + device)
        for word, rest in run.setup:
            if word == "folder":
                os.makedirs(self.unix(transcript.chars(rest)), exist_ok=True)
        gone = ["%s %s -\n" % (s, n) for s in "um" for n in (transcript.PATH, transcript.BACKUP)]
        values = ["%s %s %d %s\n" % (s, n, k, d.hex()) for (s, n), (k, d) in run.before.items()]
        with open(self.tools + "/values.txt", "w") as f:
            f.write("".join(gone + values))

    def launch(self, run, lines, plan=()):
        """Starts the command lines at once on the machine the run sets up;
        what they did, as oracle.py reads it."""
        self.set_up(run)
        env = dict(self.env, LC_MESSAGES=run.locale[1] + ".UTF-8")
        env["LC_CTYPE"] = run.locale[0] + ".UTF-8" if run.locale[0] != "C" else "C"
        log = os.path.join(self.tools, "faults.log")
        if os.path.exists(log):
            os.unlink(log)
        faulty = bool(plan) or bool(run.faults) or run.sweep
        if faulty:
            entries = ["%s %s" % (w, transcript.chars(r)) if r else w for w, r in run.faults]
            env.update(WAYFOLD_FAULTS="|".join(entries + list(plan)))
            env.update(WAYFOLD_FAULT_LOG=TOOLS + "faults.log")
        cwd = ["-", "-"]
        if "cwd" in run.words:
            folder = transcript.chars(run.words["cwd"])
            cwd = [wide("=%s:" % folder[0]), wide(folder)]
        exe = TOOLS + ("faults" if faulty else "real") + "\\wayfold.exe"
        words = run.words
        options = [words.get(w, "-") for w in ("keys", "typeahead", "stdout", "lock")]
        command = [WINE, self.tools + "/helper.exe", exe, *cwd, *options]
        command.append(",".join(map(wide, lines)))
        folders = self.folders()
        with tempfile.TemporaryFile() as out:  # on disk: the program writes to a file as to a pipe
            helper = subprocess.run(
                command,
                env=env,
                cwd=self.tools,
                stdin=subprocess.DEVNULL,
                stdout=out,
                stderr=subprocess.PIPE,
                timeout=120,
            )
            out.seek(0)
            printed = out.read()
        if helper.returncode:
            raise AssertionError("the helper failed: %r" % helper.stderr)
        _, before = read_listing(self.tools + "/before.txt")
        statuses, after = read_listing(self.tools + "/after.txt")
        now = self.folders()
        # The values the run set up, as they are now: others are the prefix's own.
        changed = {k for k in set(before) | set(after) if before.get(k) != after.get(k)}
        values = {k: v for k, v in run.before.items() if k not in changed and v}
        values.update({k: after[k] for k in changed if k in after})
        logged = []
        if os.path.exists(log):  # the test build's, when it ran
            with open(log, encoding="cp1252") as f:
                logged = f.read().splitlines()
        killed = [n for n in plan if n.startswith("kill")]
        return {
            "exit": None if killed else statuses[0],
            "statuses": statuses,
            "out": printed,
            "err": helper.stderr,
            "values": values,
            "folders": now,
            "made": now - folders,
            "log": [l for l in logged if not l.startswith("call ")],
            "calls": [l.split()[2] for l in logged if l.startswith("call ")],
        }


def sweep_variants(calls):
    """Each registry call refused in turn, each query finding the value deleted
    just before, and a kill after each write."""
    variants = ["refuse %d" % n for n in range(1, len(calls) + 1)]
    variants += ["vanish %d" % n for n, kind in enumerate(calls, 1) if kind == "query"]
    writes = sum(1 for kind in calls if kind in ("set", "delete"))
    return variants + ["kill %d" % n for n in range(1, writes + 1)]


class Transcripts(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def replay(self, run):
        got = self.prefix.launch(run, [run.command])
        problems = oracle.compare(run, got) + oracle.invariants(run, got)
        self.assertFalse(problems, "\n".join([run.where] + problems))
        if not run.sweep:
            return
        for variant in sweep_variants(got["calls"]):
            with self.subTest(variant):
                changed = self.prefix.launch(run, [run.command], [variant])
                vanished = variant.startswith("vanish")
                problems = oracle.sweep_problems(run, got, changed, vanished)
                self.assertFalse(problems, "\n".join(["%s, %s" % (run.where, variant)] + problems))

    def test_runs_at_once_keep_every_entry(self):
        # Forty-eight installers adding their folders at the same moment, five
        # times: every one is added, and the entries already there stay.
        base = r"C:\base;%SystemRoot%\x"
        wanted = ["C:\\cc\\f%d\\" % n for n in range(48)]
        run = transcript.Run("at once", [("user", 'Path EXPAND "%s"' % base)], "wayfold /S", [])
        for trial in range(5):
            got = self.prefix.launch(run, ["wayfold %s /S" % folder for folder in wanted])
            path = transcript.text(got["values"][("u", "PATH")])
            self.assertTrue(path.startswith(base + ";"), "trial %d: %s" % (trial + 1, path[:99]))
            added = path[len(base) + 1 :].split(";")
            self.assertEqual(got["statuses"], [0] * 48)
            self.assertEqual(sorted(added), sorted(wanted), "trial %d" % (trial + 1))
            made = {f.upper().rstrip("\\") for f in wanted} | {"C:\\CC"}
            self.assertEqual(got["made"], made)


def add_one_test_a_run():
    for run in transcript.all_runs():
        name = "test_" + re.sub(r"\W", "_", run.where)
        setattr(Transcripts, name, lambda self, run=run: self.replay(run))


add_one_test_a_run()

if __name__ == "__main__":
    unittest.main()

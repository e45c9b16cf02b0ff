# Replays the transcripts (tests/transcripts, read and checked by
# tests/transcript.py) on the real wayfold.exe under Wine, in a throwaway
# prefix: every run that needs nothing only the simulation can do. The
# program is started by helper.exe (helper.c) with the exact UTF-16 command
# line, in the folder Y:\ (so that every other drive's current folder is its
# root, unless "cwd" gives its =X: entry), standard output a file; keys are
# written into its console as records. Also: many runs at once on one Path.
# WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_HELPER.
import os, re, shutil, subprocess, sys, tempfile, unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import transcript  # noqa: E402

BUILT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "windows")
EXE = os.environ.get("WAYFOLD_EXE") or os.environ.get("WAYFOLD_BUILT_EXE") or BUILT + "/wayfold.exe"
HELPER = os.environ.get("WAYFOLD_HELPER") or BUILT + "/e2e/helper.exe"
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"


class Prefix:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        # Wine takes the ANSI and OEM code pages from LC_CTYPE, the thread locale
        # from LC_MESSAGES; a locale the machine lacks would quietly be English.
        for name in transcript.OEM:
            if name != "C":
                subprocess.run(["localedef", "-i", name, "-f", "UTF-8", "%s/%s.UTF-8" % (self.root, name)])
        self.env = dict({k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANG"},
                        WINEPREFIX=self.root + "/prefix", WINEDEBUG="-all", HOME=self.root, LOCPATH=self.root,
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_CTYPE="fr_FR.UTF-8", LC_MESSAGES="fr_FR.UTF-8")
        self.devices, self.scratch = self.root + "/prefix/dosdevices", self.root + "/scratch"
        for command in ([WINE, "wineboot", "-i"], [WINESERVER, "-w"], [WINESERVER, "-p"]):  # -p: kept up
            subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=300)
        os.unlink(self.devices + "/z:")  # the Unix tree: no run may write outside
        self.tools = self.unix(r"C:\e2e-tools")
        os.makedirs(self.tools)
        for program in (EXE, HELPER):
            shutil.copy(program, self.tools)
        self.baseline = set(os.listdir(self.unix("C:")))
        # The services Wine starts with the first program stay up, holding its
        # standard handles: let them hold these, not a run's pipes.
        subprocess.run([WINE, self.tools + "/wayfold.exe", "/?"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)

    def unix(self, path):  # "\\server\share" lies in the drive "unc"
        device = "unc" if path.startswith("\\\\") else path[:2].lower()
        return os.path.realpath(self.devices + "/" + device) + "/" + path[2:].replace("\\", "/")

    def folders(self):  # every folder a run may have made or found, as Windows names it, in capitals
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + "/" + device)
            for at, dirs, _ in os.walk(top):
                dirs[:] = [d for d in dirs if at != top or device != "c:" or d not in self.baseline]
                found.add(("\\" if device == "unc" else device.upper()) + at[len(top):].replace("/", "\\").upper())
        return found

    def reset(self):
        for device in set(os.listdir(self.devices)) - {"c:"}:
            os.unlink(self.devices + "/" + device)
        for name in set(os.listdir(self.unix("C:"))) - self.baseline:
            shutil.rmtree(self.unix("C:\\" + name), ignore_errors=True)
            os.path.exists(self.unix("C:\\" + name)) and os.remove(self.unix("C:\\" + name))
        shutil.rmtree(self.scratch, ignore_errors=True)
        for drive in ("unc", "Y"):
            self.drive(drive)

    def drive(self, name):  # a drive letter, or "unc" for the network shares
        os.makedirs(self.scratch + "/" + name)
        os.symlink(self.scratch + "/" + name, self.devices + "/" + (name.lower() + ":" if len(name) == 1 else name))

    def run(self, values, lines, locale=("fr_FR", "fr_FR"), keys="-", ahead="-", cwd=("-", "-"), stdout="file"):
        """Sets the values up, starts the command lines at once; what they did, as transcript.py reads it."""
        with open(self.tools + "/values.txt", "w") as f:
            f.write("".join("%s %s %d %s\n" % (s, n, k, d.hex()) for (s, n), (k, d) in values.items()))
        env = dict(self.env, LC_CTYPE="%s.UTF-8" % locale[0] if locale[0] != "C" else "C",
                   LC_MESSAGES="%s.UTF-8" % locale[1])
        folders = self.folders()
        command = [WINE, self.tools + "/helper.exe", "Y:\\", *cwd, stdout, keys, ahead,
                   ",".join(line.encode("utf-16-le").hex() for line in lines)]
        with tempfile.TemporaryFile() as out:  # on disk: the program writes to a file as to a pipe
            helper = subprocess.run(command, env=env, cwd=self.tools, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.PIPE, timeout=120)
            out.seek(0)
            printed = out.read()
        if helper.returncode:
            raise RuntimeError("helper: %d %s" % (helper.returncode, helper.stderr))
        def lines(name):
            with open(self.tools + "/" + name, encoding="cp1252") as f:
                return f.read().splitlines()
        listing = lambda lines: {(s, n.upper()): (int(k), bytes.fromhex(d))
                                 for s, n, k, d in (re.fullmatch(r"(.) (.*) (\d+) (.*)", l).groups() for l in lines)}
        before, after = lines("before.txt"), lines("after.txt")
        before, (acp, lcid, *statuses), after = listing(before), after[0].split(), listing(after[1:])
        changed = {k: after.get(k) for k in set(before) | set(after) if before.get(k) != after.get(k)}
        now = {k: v for k, v in {**values, **changed}.items() if v}
        return {"exit": int(statuses[0]), "statuses": list(map(int, statuses)), "out": printed, "err": helper.stderr,
                "values": now, "folders": self.folders(), "made": dict.fromkeys(self.folders() - folders),
                "locale": (int(acp), int(lcid, 16))}


class EndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = Prefix()

    @classmethod
    def tearDownClass(cls):
        subprocess.run([WINESERVER, "-k"], env=cls.prefix.env, timeout=60)
        shutil.rmtree(cls.prefix.root, ignore_errors=True)

    def test_every_run_ends_as_written(self):
        problems, count = [], 0
        for run in transcript.all_runs():
            for silent in (0, 1)[:1 + ("also" in run.words)]:
                if not run.simulated:
                    problems += ["%s%s: %s" % (run.where, " with /S" * silent, p) for p in self.replay(run, silent)]
                    count += 1
        print("%d runs under Wine" % count)
        self.assertFalse(problems, "\n" + "\n".join(problems))

    def replay(self, run, silent):
        self.prefix.reset()
        cwd = ("-", "-")
        for word, rest in run.setup:
            rest = transcript.chars(rest)
            if word == "drive":
                self.prefix.drive(rest)
            elif word in ("folder", "file"):
                path = self.prefix.unix(rest)
                os.makedirs(path if word == "folder" else os.path.dirname(path), exist_ok=True)
                open(path, "w").close() if word == "file" else None
            elif word == "cwd":
                cwd = tuple(t.encode("utf-16-le").hex() for t in ("=%s:" % rest[0].upper(), rest))
        got = self.prefix.run(run.before, [run.command + " /S" * silent], run.locale, run.words.get("keys", "-"),
                              run.words.get("typeahead", "-"), cwd, run.words.get("stdout", "file"))
        ctype, messages = run.locale
        wanted = (932 if ctype == "ja_JP" else 1252, 0x411 if messages == "ja_JP" else 0x40C)
        if got["locale"] != wanted:
            return ["Wine ran with code page %d and locale %x, not %d and %x" % (*got["locale"], *wanted)]
        return transcript.compare(run, got, silent) + transcript.invariants(run, got, silent)

    def test_runs_at_once_keep_every_entry(self):
        # Forty-eight installers adding their folders at the same moment, five
        # times: every one is added, and the entries already there stay.
        base, wanted = r"C:\base;%SystemRoot%\x", ["C:\\cc\\f%d\\" % n for n in range(48)]
        for trial in range(5):
            self.prefix.reset()
            got = self.prefix.run({("u", "PATH"): (2, base.encode("utf-16-le") + b"\0\0")},
                                  ["wayfold %s /S" % folder for folder in wanted])
            path = transcript.text(got["values"][("u", "PATH")])
            added = path[len(base) + 1:].split(";") if path.startswith(base + ";") else []
            self.assertEqual((got["statuses"], sorted(added), set(got["made"])),
                             ([0] * 48, sorted(wanted), {"C:\\CC"} | {f.upper().rstrip("\\") for f in wanted}),
                             "trial %d: %d entries lost" % (trial + 1, len(set(wanted) - set(added))))


if __name__ == "__main__":
    unittest.main()

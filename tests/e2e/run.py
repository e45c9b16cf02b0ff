# Replays the transcripts (tests/transcripts, read and checked by
# tests/transcript.py) on the real wayfold.exe under Wine, in a throwaway
# prefix: every run that needs nothing only the simulation can do. The
# program is started by helper.exe (helper.c) with the exact UTF-16 command
# line, in the folder Y:\ (so that every other drive's current folder is its
# root, unless "cwd" gives its =X: entry), standard output a file; keys are
# written into its console as records. Also: many runs at once on one Path.
# WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_HELPER.
import os, pathlib, re, shutil, subprocess, sys, tempfile, unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import transcript  # noqa: E402

BUILT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "windows", "")
EXE, HELPER = (
    os.environ.get("WAYFOLD_EXE") or os.environ.get("WAYFOLD_BUILT_EXE") or BUILT + "wayfold.exe",
    os.environ.get("WAYFOLD_HELPER") or BUILT + "e2e/helper.exe",
)
WINE, WINESERVER = (
    shutil.which("wine64") or "/usr/lib/wine/wine64",
    shutil.which("wineserver") or "/usr/lib/wine/wineserver",
)
QUIET = dict(
    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300
)


class EndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):  # the prefix, kept up by one wineserver for every run
        cls.root = root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        # Wine takes the ANSI and OEM code pages from LC_CTYPE, the thread locale
        # from LC_MESSAGES; a locale the machine lacks would quietly be English.
        for name in ("fr_FR", "ja_JP"):
            subprocess.run(
                ["localedef", "-i", name, "-f", "UTF-8", "%s/%s.UTF-8" % (root, name)], **QUIET
            )
        cls.env = dict(
            {k: v for k, v in os.environ.items() if not k.startswith("LC_") and k != "LANG"},
            WINEPREFIX=root + "/prefix",
            WINEDEBUG="-all",
            HOME=root,
            LOCPATH=root,
            WINEDLLOVERRIDES="mscoree,mshtml=",
            LC_CTYPE="fr_FR.UTF-8",
            LC_MESSAGES="fr_FR.UTF-8",
        )
        for command in ([WINE, "wineboot", "-i"], [WINESERVER, "-w"], [WINESERVER, "-p"]):
            subprocess.run(command, env=cls.env, **QUIET)
        cls.devices, cls.tools = root + "/prefix/dosdevices", root + "/prefix/drive_c/e2e-tools"
        os.unlink(cls.devices + "/z:")  # the Unix tree: no run may write outside
        os.makedirs(cls.tools)
        cls.baseline = [shutil.copy(program, cls.tools) for program in (EXE, HELPER)] and set(
            os.listdir(cls.devices + "/c:")
        )
        # The services Wine starts with the first program stay up, holding its
        # standard handles: let them hold these, not a run's pipes.
        subprocess.run([WINE, cls.tools + "/wayfold.exe", "/?"], env=cls.env, **QUIET)

    @classmethod
    def tearDownClass(cls):
        subprocess.run([WINESERVER, "-k"], env=cls.env, timeout=60)
        shutil.rmtree(cls.root, ignore_errors=True)

    def unix(self, path):  # "\\server\share" lies in the drive "unc"
        unc = path[:2] == "\\\\"
        return (
            os.path.realpath(self.devices + "/" + ("unc" if unc else path[:2].lower()))
            + "/" * unc
            + path[2:].replace("\\", "/")
        )

    def folders(
        self,
    ):  # every folder a run may have made or found, as Windows names it, in capitals
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + "/" + device)
            for at, dirs, _ in os.walk(top):
                dirs[:] = [d for d in dirs if at != top or device != "c:" or d not in self.baseline]
                found.add(
                    ("\\" if device == "unc" else device.upper())
                    + at[len(top) :].replace("/", "\\").upper()
                )
        return found

    def launch(
        self,
        values,
        lines,
        locale=("fr_FR", "fr_FR"),
        keys="-",
        ahead="-",
        cwd=("-", "-"),
        drives=(),
        folders=(),
        stdout="-",
    ):
        """Sets the machine up (C: as it was, the drives Y and unc for the network shares, and those given, with
        these folders and values), starts the command lines at once (standard output a file, or as stdout says:
        none, closed); what they did, as transcript.py reads it.
        """
        for name in set(os.listdir(self.devices)) - {"c:"}:
            os.unlink(self.devices + "/" + name)
        for path in [
            self.devices + "/c:/" + n for n in set(os.listdir(self.devices + "/c:")) - self.baseline
        ] + [self.root + "/drives"]:
            shutil.rmtree(path, ignore_errors=True)
        for name in ("unc", "Y", *drives):
            os.makedirs(self.root + "/drives/" + name)
            os.symlink(
                self.root + "/drives/" + name,
                self.devices + "/" + (name.lower() + ":" if len(name) == 1 else name),
            )
        for folder in folders:
            os.makedirs(self.unix(folder), exist_ok=True)
        with open(
            self.tools + "/values.txt", "w"
        ) as f:  # the Path and its backup gone first, of both keys
            f.write(
                "".join(
                    "%s %s -\n" % (s, n) for s in "um" for n in (transcript.PATH, transcript.BACKUP)
                )
                + "".join("%s %s %d %s\n" % (s, n, k, d.hex()) for (s, n), (k, d) in values.items())
            )
        env = dict(
            self.env,
            LC_CTYPE=locale[0] + ".UTF-8" * (locale[0] != "C"),
            LC_MESSAGES=locale[1] + ".UTF-8",
        )
        folders, wide = self.folders(), lambda text: text.encode("utf-16-le").hex()
        command = [
            WINE,
            self.tools + "/helper.exe",
            "Y:\\",
            *cwd,
            keys,
            ahead,
            stdout,
            ",".join(map(wide, lines)),
        ]
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
        self.assertEqual(helper.returncode, 0, helper.stderr)
        listing = lambda lines: (
            lines[0].split(),
            {
                (s, n.upper()): (int(k), bytes.fromhex(d))
                for s, n, k, d in (
                    re.fullmatch(r"(.) (.*) (\d+) (.*)", l).groups() for l in lines[1:]
                )
            },
        )  # first what ran, then the values of both keys
        (_, before), (statuses, after) = (
            listing(pathlib.Path(self.tools, name).read_text("cp1252").splitlines())
            for name in ("before.txt", "after.txt")
        )
        changed, now = {
            k: after.get(k) for k in set(before) | set(after) if before.get(k) != after.get(k)
        }, self.folders()
        return {
            "exit": int(statuses[0]),
            "statuses": list(map(int, statuses)),
            "out": printed,
            "err": helper.stderr,
            "values": {k: v for k, v in {**values, **changed}.items() if v},
            "folders": now,
            "made": dict.fromkeys(now - folders),
        }

    def test_every_run_ends_as_written(self):
        problems, runs = [], [r for r in transcript.all_runs() if not r.simulated]
        for run in runs:
            cwd = (
                [
                    t.encode("utf-16-le").hex()
                    for r in [transcript.chars(run.words["cwd"])]
                    for t in ("=%s:" % r[0], r)
                ]
                if "cwd" in run.words
                else ("-", "-")
            )
            got = self.launch(
                run.before,
                [run.command],
                run.locale,
                run.words.get("keys", "-"),
                run.words.get("typeahead", "-"),
                cwd,
                [r for w, r in run.setup if w == "drive"],
                [transcript.chars(r) for w, r in run.setup if w == "folder"],
                run.words.get("stdout", "-"),
            )
            problems += [
                "%s: %s" % (run.where, p)
                for p in transcript.compare(run, got) + transcript.invariants(run, got)
            ]
        self.assertFalse(problems, "\n".join(["%d runs under Wine" % len(runs)] + problems))

    def test_runs_at_once_keep_every_entry(self):
        # Forty-eight installers adding their folders at the same moment, five
        # times: every one is added, and the entries already there stay.
        base, wanted = r"C:\base;%SystemRoot%\x", ["C:\\cc\\f%d\\" % n for n in range(48)]
        for trial in range(5):
            got = self.launch(
                {("u", "PATH"): (2, base.encode("utf-16-le") + b"\0\0")},
                ["wayfold %s /S" % folder for folder in wanted],
            )
            path = transcript.text(got["values"][("u", "PATH")])
            added = path[len(base) + 1 :].split(";") if path.startswith(base + ";") else []
            self.assertEqual(
                (got["statuses"], sorted(added), set(got["made"])),
                ([0] * 48, sorted(wanted), {"C:\\CC"} | {f.upper().rstrip("\\") for f in wanted}),
                "trial %d: %d entries lost" % (trial + 1, len(set(wanted) - set(added))),
            )


if __name__ == "__main__":
    unittest.main()

# Replays the transcripts (tests/transcripts, format in tests/transcript.py) on
# the real wayfold.exe under Wine, in a throwaway prefix: the plain run of each
# one that asks for nothing only the simulation can do. Output bytes, exit
# status, the registry bytes of both Environment keys and the folders made are
# compared as the unit tests compare them (standard output is a file). The
# program is started by helper.exe with the exact UTF-16 command line, in the
# folder Y:\ (so that every other drive's current folder is its root, unless
# "cwd" gives its =X: entry).
# WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_HELPER.
import os, pty, re, shutil, subprocess, sys, tempfile, threading, time, unittest

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
        self.env = dict(os.environ, WINEPREFIX=self.root + "/prefix", WINEDEBUG="-all", HOME=self.root,
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="fr_FR.UTF-8")  # code pages 1252, 850
        self.devices, self.scratch = self.root + "/prefix/dosdevices", self.root + "/scratch"
        for command in ([WINE, "wineboot", "-i"], [WINESERVER, "-w"], [WINESERVER, "-p"]):  # -p: kept up
            self.run(command)
        os.unlink(self.devices + "/z:")  # the Unix tree: no run may write outside
        self.tools = self.unix(r"C:\e2e-tools")
        os.makedirs(self.tools)
        for program in (EXE, HELPER):
            shutil.copy(program, self.tools)
        self.baseline = set(os.listdir(self.unix("C:")))
        # What Wine starts with the first program and console stays up: let it
        # hold these handles, not a run's pipes.
        console, terminal = pty.openpty()
        usage = "/?".encode("utf-16-le").hex()
        self.run([WINE, self.tools + "/helper.exe", "C:\\", "-", "-", "pipe", usage], stdin=terminal)
        os.close(console)
        os.close(terminal)

    def run(self, args, stdin=subprocess.DEVNULL):
        subprocess.run(args, env=self.env, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300)

    def unix(self, path):  # "\\server\share" lies in the drive "unc"
        device = "unc" if path.startswith("\\\\") else path[:2].lower()
        return os.path.realpath(self.devices + "/" + device) + "/" + path[2:].replace("\\", "/")

    def folders(self):  # every folder a run may have made, as Windows names it, in capitals
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + "/" + device)
            for at, dirs, _ in os.walk(top):
                dirs[:] = [d for d in dirs if at != top or device != "c:" or d not in self.baseline]
                drive = "\\" if device == "unc" else device.upper()
                found.add(drive + at[len(top):].replace("/", "\\").upper())
        return found

    def reset(self):
        for device in set(os.listdir(self.devices)) - {"c:"}:
            os.unlink(self.devices + "/" + device)
        for name in set(os.listdir(self.unix("C:"))) - self.baseline:
            path = self.unix("C:\\" + name)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        shutil.rmtree(self.scratch, ignore_errors=True)
        self.drive("unc")
        self.drive("Y")

    def drive(self, name):  # a drive letter, or "unc" for the network shares
        os.makedirs(self.scratch + "/" + name)
        device = name.lower() + ":" if len(name) == 1 else name
        os.symlink(self.scratch + "/" + name, self.devices + "/" + device)


def type_keys(child, terminal, keys):
    # One key at a time, again until the run ends: the program drops what is
    # pending before it reads, and the terminal takes in little before it does.
    while keys and child.poll() is None:
        for key in keys:
            os.write(terminal, key.encode("cp1252"))
            time.sleep(0.3)


def registry(listing):
    with open(listing, encoding="cp1252") as f:
        return {(scope, name.upper()): (int(kind), bytes.fromhex(data))
                for scope, name, kind, data in (line.split(" ") for line in f.read().splitlines())}


class Transcripts(unittest.TestCase):
    def test_every_runnable_run_ends_as_written(self):
        prefix = Prefix()
        try:
            for run in transcript.all_runs():
                for silent in (0, 1)[:1 + ("also" in run.words)]:
                    with self.subTest(run.where + (" with /S" if silent else "")):
                        self.replay(prefix, run, silent)
        finally:
            subprocess.run([WINESERVER, "-k"], env=prefix.env, timeout=60)
            shutil.rmtree(prefix.root, ignore_errors=True)

    def replay(self, prefix, run, silent):
        keys, stdout = run.ansi(run.words.get("keys", "")).decode("cp1252"), run.words.get("stdout", "file")
        # Typed through a terminal, a capital comes after a Shift key, which the question takes.
        if (transcript.SIMULATED_ONLY & set(run.words) or stdout == "console"
                or re.search("[^a-z\r]", keys) or (keys and not re.search("[on]", keys))):
            return
        prefix.reset()
        env, values = ["-", "-"], {}
        for word, rest in run.set_up:
            if word in transcript.KEYS:
                scope, name, kind, data = run.value(word, rest)
                values[scope, name] = (kind, data)
            elif word == "drive":
                prefix.drive(rest)
            elif word in ("folder", "file"):
                path = prefix.unix(run.ansi(rest).decode("cp1252"))
                os.makedirs(path if word == "folder" else os.path.dirname(path), exist_ok=True)
                open(path, "w").close() if word == "file" else None
            elif word == "cwd":
                env = ["=%s:" % rest[0].upper(), run.ansi(rest).decode("cp1252")]
        with open(prefix.tools + "/values.txt", "w") as f:
            f.write("".join("%s %s %d %s\n" % (s, n, k, d.hex()) for (s, n), (k, d) in values.items()))
        folders = prefix.folders()
        commands = ["Y:\\"] + env + [stdout, run.wide(run.command + " /S" * silent).hex()]
        terminal, console = pty.openpty() if keys else (None, subprocess.DEVNULL)
        with tempfile.TemporaryFile() as out:  # on disk: the program writes to a file as to a pipe
            child = subprocess.Popen([WINE, prefix.tools + "/helper.exe"] + commands, env=prefix.env,
                                     cwd=prefix.tools, stdin=console, stdout=out, stderr=subprocess.PIPE)
            # (Standard output not being the console, Wine writes nothing to the terminal.)
            typist = threading.Thread(target=type_keys, args=(child, terminal, keys), daemon=True)
            typist.start()
            err = child.communicate(timeout=120)[1]
            out.seek(0)
            printed = out.read()
        typist.join()  # before its terminal closes
        for end in (terminal, console) if keys else ():
            os.close(end)
        before, after = (registry(prefix.tools + "/" + name) for name in ("before.txt", "after.txt"))
        # The values the transcript names, and those the run changed: the others must be as they were.
        self.assertEqual(set(before) - set(after) - set(values), set())
        got = (["exit %d" % child.returncode, "out " + printed.hex(),
                "err " + re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", err).hex()]
               + transcript.value_lines({k: v for k, v in after.items() if k in values or before.get(k) != v})
               + sorted("made %s " % p.encode("cp1252").hex() for p in prefix.folders() - folders))
        want = ["made %s " % l.split(" ")[1] if l.startswith("made") else l
                for l in run.outcome(run.variants[0][3], values, silent) if not l.startswith("writes")]
        readable = lambda lines: [bytes.fromhex(l[4:]) if l[:4] in ("out ", "err ") else l for l in lines]
        self.assertEqual(readable(got), readable(want))


if __name__ == "__main__":
    unittest.main()

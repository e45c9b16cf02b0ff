"""Replays the transcripts (tests/transcripts, format in tests/unit/Transcript.h)
on the real wayfold.exe under Wine, in a throwaway prefix: the plain run of
each one that asks for nothing only the simulation can do. Output bytes, exit
status, the registry bytes of both Environment keys and the folders made are
compared as the unit tests compare them.

WAYFOLD_EXE: the exe under test (else the one built); WAYFOLD_HELPER: helper.exe."""
import os, pty, re, shutil, subprocess, tempfile, threading, time, unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILT = os.path.join(ROOT, "build", "windows")
EXE = os.environ.get("WAYFOLD_EXE") or os.environ.get("WAYFOLD_BUILT_EXE") or BUILT + "/wayfold.exe"
HELPER = os.environ.get("WAYFOLD_HELPER") or BUILT + "/e2e/helper.exe"
WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
SIMULATED_ONLY = {"codepage", "readonly", "refused", "nosddl", "failwrite", "typeahead", "module"}
TYPES = {"SZ": 1, "EXPAND": 2, "BINARY": 3, "MULTI": 7}
SCRATCH = "Y"  # the current drive of every run: other drives' current folder is their root


def pieces(field):
    """Characters and {XX} bytes: (True, int) or (False, str)."""
    return [(True, int(p[1:3], 16)) if re.fullmatch(r"\{[0-9A-Fa-f]{2}\}", p) else (False, p)
            for p in re.split(r"(\{[0-9A-Fa-f]{2}\})", field) if p]


def text(field):  # in Windows' UTF-16 characters; bytes are code page 1252's
    return "".join(bytes([p]).decode("cp1252") if b else p for b, p in pieces(field))


def printed(field):  # the program's messages reach the console in code page 850
    return b"".join(bytes([p]) if b else p.encode("cp850") for b, p in pieces(field))


def value(rest):
    """"NAME TYPE VALUE" -> (NAME in capitals, (type, bytes) or None)."""
    name, kind, data = (rest.split(" ", 2) + ["", ""])[:3]
    if kind == "-":
        return name.upper(), None
    kind = TYPES.get(kind) or int(kind)
    if data.startswith("hex:"):
        return name.upper(), (kind, bytes.fromhex(data[4:]))
    return name.upper(), (kind, (text(data[data.find('"') + 1:data.rfind('"')]) + "\0").encode("utf-16-le"))


def runs(path):
    with open(path, encoding="utf-8") as f:
        blocks = f.read().split("\n\n")
    for block in blocks:
        lines = [l for l in block.split("\n") if l and not l.startswith("#")]
        if any(l.startswith("$ ") for l in lines):
            at = next(i for i, l in enumerate(lines) if l.startswith("$ "))
            end = next((i for i, l in enumerate(lines) if l.startswith("@")), len(lines))
            split = lambda l: ("|", l[2:]) if l.startswith("|") else tuple((l.split(" ", 1) + [""])[:2])
            yield lines[0], [split(l) for l in lines[:at]], lines[at][2:], [split(l) for l in lines[at + 1:end]]


class Prefix:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="wayfold-e2e-")
        self.env = dict(os.environ, WINEPREFIX=self.root + "/prefix", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="fr_FR.UTF-8", HOME=self.root)
        self.env.pop("DISPLAY", None)
        self.wine(WINE, "wineboot", "-i")
        self.wine(WINESERVER, "-w")
        self.devices = self.root + "/prefix/dosdevices"
        os.unlink(self.devices + "/z:")  # the Unix tree: no run may write outside
        self.wine(WINESERVER, "-p")     # kept up: each run is a process start
        self.tools = self.unix(r"C:\e2e-tools")
        os.makedirs(self.tools)
        shutil.copy(EXE, self.tools)
        shutil.copy(HELPER, self.tools)
        self.baseline = set(os.listdir(self.unix("C:\\")))
        # What Wine starts with the first program and the first console keeps
        # running: let it hold these handles, not a run's pipes.
        console, terminal = pty.openpty()
        self.wine(WINE, self.tools + "/helper.exe", "list", r"C:\e2e-tools\before.txt")
        subprocess.run([WINE, self.tools + "/helper.exe", "run", "C:\\", "-", "pipe", "/?".encode("utf-16-le").hex()],
                       env=self.env, stdin=terminal, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        os.close(console)
        os.close(terminal)

    def wine(self, *args):
        subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, timeout=60)
        shutil.rmtree(self.root, ignore_errors=True)

    def unix(self, path):
        if path.startswith("\\\\"):
            return self.devices + "/unc/" + path[2:].replace("\\", "/")
        return os.path.realpath(self.devices + "/" + path[:2].lower()) + "/" + path[2:].replace("\\", "/").strip("/")

    def folders(self):
        """Every folder the runs may have made, as Windows names them, in capitals."""
        found = set()
        for device in os.listdir(self.devices):
            top = os.path.realpath(self.devices + "/" + device)
            for at, dirs, _ in os.walk(top):
                if at == top and device == "c:":
                    dirs[:] = [d for d in dirs if d not in self.baseline]
                name = at[len(top):].replace("/", "\\")
                found.add(("\\" if device == "unc" else device.upper()) + name.upper())
        return found

    def reset(self):
        for device in os.listdir(self.devices):
            if device not in ("c:", "unc"):
                os.unlink(self.devices + "/" + device)
        for name in set(os.listdir(self.unix("C:\\"))) - self.baseline:
            path = self.unix("C:\\" + name)
            shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        shutil.rmtree(self.devices + "/unc", ignore_errors=True)
        for letter in SCRATCH + "D":
            os.makedirs(self.root + "/drive_" + letter, exist_ok=True)
            shutil.rmtree(self.root + "/drive_" + letter)
        self.drive(SCRATCH)

    def drive(self, letter):
        os.makedirs(self.root + "/drive_" + letter)
        os.symlink(self.root + "/drive_" + letter, self.devices + "/" + letter.lower() + ":")


def drain(terminal):  # Wine writes to the terminal too; it must not block
    try:
        while os.read(terminal, 65536):
            pass
    except OSError:
        pass


def type_keys(child, terminal, keys):
    """One key at a time, again and again until the run ends: the program drops
    what is pending before it reads, and the terminal may take nothing in
    before the question."""
    while child.poll() is None:
        for key in keys.encode("cp1252"):
            os.write(terminal, bytes([key]))
            time.sleep(0.3)


def registry(listing):
    values = {}
    with open(listing, encoding="cp1252") as f:
        lines = f.read().splitlines()
    for line in lines:
        scope, name, kind, data = line.split(" ")
        values[scope, name.upper()] = (int(kind), bytes.fromhex(data))
    return values


class Transcripts(unittest.TestCase):
    def test_every_runnable_run_ends_as_written(self):
        prefix = Prefix()
        try:
            for name in sorted(os.listdir(ROOT + "/tests/transcripts")):
                for first, set_up, command, expected in runs(ROOT + "/tests/transcripts/" + name):
                    with self.subTest(transcript=name, run=first):
                        self.replay(prefix, set_up, command, expected)
        finally:
            prefix.close()

    def replay(self, prefix, set_up, command, expected):
        words = dict(set_up)
        keys = text(words.get("keys", ""))
        if (SIMULATED_ONLY & set(words) or words.get("stdout") == "console" or "\0" in keys
                or (keys and not re.search("[on]", keys) or re.search("[A-Z]", keys))):
            return  # a console typed at through a terminal gives no capitals
        prefix.reset()
        commands, env = [], "-"
        for word, rest in set_up:
            if word in ("user", "machine"):
                name, stored = value(rest)
                commands += ["set", word[0], name, str(stored[0]), stored[1].hex()]
            elif word == "drive":
                prefix.drive(rest)
            elif word in ("folder", "file"):
                path = prefix.unix(text(rest))
                os.makedirs(path if word == "folder" else os.path.dirname(path), exist_ok=True)
                if word == "file":
                    open(path, "w").close()
            elif word == "cwd":
                env = "=%s:=%s" % (rest[0].upper(), text(rest))
        before = prefix.folders()
        listing = r"C:\e2e-tools\before.txt", r"C:\e2e-tools\after.txt"
        out_file = tempfile.TemporaryFile() if words.get("stdout") == "file" else subprocess.PIPE
        terminal, console = pty.openpty() if keys else (subprocess.DEVNULL, None)
        for scope in "um":
            commands = ["del", scope, "Path", "del", scope, "Path_wayFOLD_BACKUP"] + commands
        commands += ["list", listing[0], "run", SCRATCH + ":\\", env, words.get("stdout", "pipe"),
                     text(command).encode("utf-16-le").hex(), "list", listing[1]]
        child = subprocess.Popen([WINE, prefix.tools + "/helper.exe"] + commands, env=prefix.env,
                                 stdin=console, stdout=out_file, stderr=subprocess.PIPE, cwd=prefix.tools)
        if keys:
            threading.Thread(target=drain, args=(terminal,), daemon=True).start()
            threading.Thread(target=type_keys, args=(child, terminal, keys), daemon=True).start()
        out, err = child.communicate(timeout=120)
        if keys:
            os.close(console)
        if out_file != subprocess.PIPE:
            out_file.seek(0)
            out = out_file.read()
            out_file.close()
        was, now = (registry(prefix.unix(path)) for path in listing)
        want = {"out": b"", "err": b"", "exit": None, "made": set(), "registry": dict(was)}
        for word, rest in expected:
            if word in ("|", "err"):
                want["out" if word == "|" else "err"] += printed(rest) + b"\r\n"
            elif word == "exit":
                want["exit"] = int(rest)
            elif word in ("user", "machine"):
                name, stored = value(rest)
                want["registry"].pop((word[0], name), None)
                want["registry"].update({(word[0], name): stored} if stored else {})
            elif word == "made":
                want["made"].add(text(rest.split(" ")[0]).upper().rstrip("\\"))
        err = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", err)
        self.assertEqual((child.returncode, out, err), (want["exit"], want["out"], want["err"]))
        self.assertEqual(now, want["registry"])
        self.assertEqual(prefix.folders() - before, want["made"])


if __name__ == "__main__":
    unittest.main()

# Transcripts (tests/transcripts/*.txt): runs of wayfold written down as the
# machine before, the command line, and what the run prints and leaves. This
# file is their one reader. It checks what a run did against its transcript
# and against what must hold of any run, and replays them on the simulated
# Windows: `python3 transcript.py SIM_RUN` (tests/sim/SimRun.cpp). e2e/run.py
# replays them on wayfold.exe under Wine.
#
# A file holds runs separated by blank lines; '#' starts a comment line. A run
# is set-up lines, "$ " and the command line, then what is expected; several
# "$ " lines make as many runs, with the rest in common (with /S, nothing printed).
# Set-up:
#   user|machine NAME TYPE VALUE   a value of the current user's or the
#       all-users Environment key. TYPE: SZ, EXPAND, MULTI. VALUE: "text"
#       (UTF-16 with its zero), hex:BYTES (as stored), or - (none)
#   drive D | folder PATH | file PATH | cwd PATH (the current folder of its drive)
#   keys KEYS   standard input is a console, where KEYS are typed over and
#       over once the question is shown: a character is a key pressed and
#       released, ^c one released only, +c one pressed behind a Shift in one
#       batch. typeahead KEYS: typed before the run starts.
#   stdout none   no standard output (else a file)
#   locale CTYPE MESSAGES   the code pages of CTYPE, the thread locale of MESSAGES
# Those runs are replayed on wayfold.exe under Wine. The ones with a word below
# are replayed on the simulated Windows instead, which has no console input:
#   failwrite N (that write to standard output fails; -N: writes nothing) |
#   nosddl (no security descriptor can be built) |
#   mutex held|abandoned | after N user|machine NAME TYPE VALUE (another
#   program sets it after registry call N) | sweep (the run again with each
#   registry call refused in turn, access denied, and for a query not found,
#   the value deleted just before; and killed after each registry write; each
#   checked as any run is and against the Path that the plain run leaves).
# Expected: "| TEXT" the lines printed, all of them; "says TEXT" one of them;
# "err TEXT" a line of standard error ('@' for the address); "exit N";
# user|machine values (those not named stay as they were); "made PATH [SDDL]"
# a folder there afterwards and not before (made with that descriptor: seen
# in the simulation only). In a TEXT, {XX} is the byte XX in output lines, the
# character U+00XX elsewhere.
#
# What holds of any run: nothing but the Path and its backup changes; with /S
# nothing is printed; the Path is as it was, or its text is the old one with
# its two ends tidied (blanks and control characters, then the trailing ';'),
# ';' and one entry, or its type repaired; a backup holds the old text; exit 0
# means an entry names the folder typed (up to case and trailing backslashes)
# and that folder exists.
import json, os, re, subprocess, sys
from concurrent.futures import ThreadPoolExecutor

SCOPES, TYPES = {"user": "u", "machine": "m"}, {"SZ": 1, "EXPAND": 2, "MULTI": 7}
SIMULATED = {"failwrite", "mutex", "after", "sweep", "nosddl"}
OEM = {"fr_FR": "cp850", "ja_JP": "cp932", "C": "cp437"}  # the console's code page, by LC_CTYPE
PATH, BACKUP, BLANKS = "PATH", "PATH_WAYFOLD_BACKUP", "".join(map(chr, range(33)))


def chars(text):  # {XX} as the character U+00XX
    return re.sub(r"\{([0-9A-Fa-f]{2})\}", lambda m: chr(int(m[1], 16)), text)


def text(value):  # a stored text without its trailing zeros
    data = value[1] if value else b""
    while len(data) % 2 == 0 and data.endswith(b"\0\0"):
        data = data[:-2]
    return data.decode("utf-16-le", "replace")


def shown(value):  # a value in words, a long one cut short
    t = text(value)
    t = t if len(t) < 100 else "%s[... %d characters ...]%s" % (t[:40], len(t) - 80, t[-40:])
    return "none" if not value else "%s \"%s\"" % ({v: k for k, v in TYPES.items()}[value[0]], t)


class Run:
    def __init__(self, where, lines):
        self.where, self.setup, self.expect, target = where, [], [], None
        for line in lines:
            if line.startswith("$ "):
                self.command, target = chars(line[2:]), self.expect
            else:
                (self.setup if target is None else target).append(tuple(line.partition(" ")[::2]))
        self.words = dict(self.setup)
        self.locale = self.words.get("locale", "fr_FR fr_FR").split()
        self.before = dict(self.value(w, r) for w, r in self.setup if w in SCOPES)
        self.simulated = bool(SIMULATED & set(self.words))
        args = re.findall(r'(?:[^\x00-\x20"]|"[^"]*"?)+', self.command)[1:]
        folder = next((a.replace('"', "") for a in args if a[0] != "/" and a != "?"), "")
        if re.match(r"[A-Za-z]:[^\\]", folder):  # drive-relative: below the current folder of its drive
            cwd = next((chars(r) for w, r in self.setup if w == "cwd" and r[0].upper() == folder[0].upper()),
                       folder[:2] + "\\")
            folder = cwd.rstrip("\\") + "\\" + folder[2:]
        switches = set(map(str.upper, args))
        self.folder, self.scope, self.silent = folder.upper().rstrip("\\"), "m" if "/K" in switches else "u", "/S" in switches

    def value(self, word, rest):  # ((u|m, NAME), (type, bytes)), or None for none
        name, kind, data = (rest.split(" ", 2) + ["", ""])[:3]
        stored = bytes.fromhex(data[4:]) if data.startswith("hex:") else chars(data[1:-1]).encode("utf-16-le") + b"\0\0"
        return (SCOPES[word], name.upper()), None if kind == "-" else (TYPES[kind], stored)

    def oem(self, line):  # an output line as printed, in the console's code page
        return b"".join(bytes([int(p[1:3], 16)]) if re.fullmatch(r"\{..\}", p) else p.encode(OEM[self.locale[0]])
                        for p in re.split(r"(\{[0-9A-Fa-f]{2}\})", line)) + b"\r\n"

    def expected(self):
        e = {"exit": None, "out": None, "says": [], "err": b"", "values": dict(self.before), "made": {}}
        for word, rest in self.expect:
            if word == "|":
                e["out"] = (e["out"] or b"") + self.oem(rest)
            elif word in ("says", "err"):
                e[word] += [self.oem(rest)[:-2]] if word == "says" else self.oem(rest)
            elif word == "exit":
                e["exit"] = int(rest)
            elif word in SCOPES:
                key, value = self.value(word, rest)
                e["values"][key] = value
            elif word == "made":
                path, sddl = re.fullmatch(r"(.*?)(?: ([OD]:\S*))?", rest).groups()
                e["made"][chars(path).upper()] = sddl
        if self.silent:
            e["out"], e["says"] = b"", []
        return e


def all_runs():
    folder, runs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts"), []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            at = 1  # the line a block starts on
            for block in f.read().split("\n\n"):
                lines = block.split("\n")  # several command lines: as many runs, alike but for it
                for n in (i for i, l in enumerate(lines) if l.startswith("$ ")):
                    runs.append(Run("%s:%d" % (name, at + n), [l for i, l in enumerate(lines) if l and l[0] != "#"
                                                              and (i == n or not l.startswith("$ "))]))
                at += len(lines) + 1
    return runs


def compare(run, got):  # what the transcript says of the run, its differences in words
    e, codec, problems = run.expected(), OEM[run.locale[0]], []
    said = lambda lines, n: repr(lines[n].decode(codec, "replace")) if lines[n:] not in ([], [b""]) else "nothing"
    for name, printed, wanted in (("output", got["out"], e["out"]), ("standard error", got["err"], e["err"])):
        printed = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", printed)
        g, w = printed.split(b"\r\n"), (wanted if wanted is not None else printed).split(b"\r\n")
        n = next((i for i in range(len(g)) if i == len(w) or g[i] != w[i]), len(g))
        if n < max(len(g), len(w)):
            problems.append("%s line %d is %s, expected %s" % (name, n + 1, said(g, n), said(w, n)))
    problems += ["%r is not printed" % s.decode(codec) for s in e["says"] if s not in got["out"].split(b"\r\n")]
    if got["exit"] != e["exit"]:
        problems.append("exit %s, expected %s" % (got["exit"], e["exit"]))
    for key in sorted(e["values"]):
        if got["values"].get(key) != e["values"][key]:
            problems.append("%s %s is %s, expected %s" % (*key, shown(got["values"].get(key)), shown(e["values"][key])))
    for path in sorted(set(got["made"]) ^ set(e["made"])):
        problems.append("%s is %s" % (path, "made" if path in got["made"] else "not made"))
    problems += ["%s is made with %s" % (p, got["made"][p]) for p, s in e["made"].items() if s and got["made"].get(p, s) != s]
    return problems


def invariants(run, got, old=None):  # what holds of any run; old: the Path as the run found it
    problems, path, backup = [], (run.scope, PATH), (run.scope, BACKUP)
    old, new = run.before.get(path) if old is None else old, got["values"].get(path)
    changed = {k for k in set(run.before) | set(got["values"]) if run.before.get(k) != got["values"].get(k)}
    problems += ["%s %s changed" % k for k in sorted(changed - {path, backup})]
    if run.silent and got["out"]:
        problems.append("it printed with /S")
    if old and new and "after" not in run.words and (old[0], text(old)) != (new[0], text(new)):
        tidied = text(old).strip(BLANKS).rstrip(";")
        appended = (tidied + ";" if tidied else "") + text(new).rsplit(";", 1)[-1]
        if text(new) not in (text(old), appended) or new[0] not in (old[0], 2) or old[0] not in (1, 2):
            problems.append("the Path went from %s to %s" % (shown(old), shown(new)))
    if backup in changed and got["values"].get(backup) and text(got["values"][backup]) != text(run.before.get(path)):
        problems.append("the backup holds %s" % shown(got["values"][backup]))
    if got["exit"] == 0 and run.folder:
        if run.folder not in {e.upper().rstrip("\\") for e in text(new).split(";")}:
            problems.append("exit 0, but no entry of %s names %s" % (shown(new), run.folder))
        if run.folder not in got["folders"]:
            problems.append("exit 0, but %s is no folder" % run.folder)
    if got.get("outofturn") or (got.get("openkeys") and got["exit"] is not None):  # (simulated only)
        problems.append("%(outofturn)d calls or questions out of turn, %(openkeys)d keys left open" % got)
    return problems


def sweep(run, plain, got, status):  # a refused call or a kill, against the plain run's end
    path, old = (run.scope, PATH), run.before.get((run.scope, PATH))
    final, now, state = plain["values"].get(path), got["values"].get(path), lambda v: v and (v[0], text(v))
    allowed = {state(old), state(final), final and old and (final[0], text(old)), not old and (2, "")}
    if status == 2:  # another program deleted the Path: made again, it holds the folder alone
        allowed = {None, final and (2, text(final).rsplit(";", 1)[-1])}
    problems = invariants(run, got, (2, b"\0\0") if status == 2 else None)
    if state(now) not in allowed:
        problems.append("the Path is %s" % shown(now))
    if got["exit"] == 0 and status != 2 and state(now) != state(final):
        problems.append("exit 0, but the Path is %s, not %s" % (shown(now), shown(final)))
    if got["exit"] == 1 and state(final) != state(old) and state(now) == state(final):
        problems.append("exit 1, but the Path is as a run that succeeded leaves it")
    if set(got["made"]) != set(plain["made"]):
        problems.append("made %s, where the plain run made %s" % (sorted(got["made"]), sorted(plain["made"])))
    return problems


def simulate(sim, run, fail=(0, 5), die=0):  # the run on the simulated Windows, as the checks read it
    ansi = lambda text: chars(text).encode("cp1252").hex()
    m = {"line": run.command.encode("utf-16-le").hex(),
         "values": [[s, n, t, d.hex()] for (s, n), (t, d) in run.before.items()], "fail": fail, "die": die,
         "folders": [ansi(r) if w == "folder" else ansi(r + ":") for w, r in run.setup if w in ("folder", "drive")],
         "stdout": 0 if run.words.get("stdout") == "none" else 1, "failwrite": int(run.words.get("failwrite", 0)),
         "mutex": ["", "held", "abandoned"].index(run.words.get("mutex", "")), "after": [], "nosddl": "nosddl" in run.words}
    if "after" in run.words:  # after N, another program sets a value
        call, word, rest = run.words["after"].split(" ", 2)
        (scope, name), (kind, data) = run.value(word, rest)
        m["after"] = [int(call), [scope, name, kind, data.hex()]]
    out = json.loads(subprocess.run([sim], input=json.dumps(m), capture_output=True, text=True, check=True, timeout=60).stdout)
    scope = {r"HKCU\ENVIRONMENT": "u", r"HKLM\SYSTEM\CURRENTCONTROLSET\CONTROL\SESSION MANAGER\ENVIRONMENT": "m"}
    decode = lambda h: bytes.fromhex(h).decode("cp1252")
    return dict(out, out=bytes.fromhex(out["out"]), err=bytes.fromhex(out["err"]),
                values={(scope[i.rsplit("\\", 1)[0]], i.rsplit("\\", 1)[1]): (t, bytes.fromhex(d))
                        for i, t, d in out.get("values") or [] if i.rsplit("\\", 1)[0] in scope},
                made={decode(p): s or None for p, s in (out.get("made") or {}).items()},
                folders={decode(p) for p in out["folders"]})


def replay_simulated(sim):
    def one(run):
        got = simulate(sim, run)
        problems = [run.where + ": " + p for p in compare(run, got) + invariants(run, got)]
        variants = [((k, 5), 0, "call %d refused" % k) for k in range(1, len(got["calls"]) + 1)]
        variants += [((k, 2), 0, "call %d finding nothing" % k) for k, c in enumerate(got["calls"], 1) if c == "Q"]
        variants += [((0, 5), w, "killed after write %d" % w) for w in range(1, got["writes"] + 1)]
        for fail, die, name in variants if "sweep" in run.words else []:
            problems += ["%s, %s: %s" % (run.where, name, p)
                         for p in sweep(run, run.expected(), simulate(sim, run, fail, die), fail[1])]
        return problems

    runs = [r for r in all_runs() if r.simulated]
    with ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        problems = sum(pool.map(one, runs), [])
    print("\n".join(problems + ["%d runs on the simulated Windows, %d problems" % (len(runs), len(problems))]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(replay_simulated(sys.argv[1]))

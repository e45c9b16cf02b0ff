# Transcripts (tests/transcripts/*.txt): runs of wayfold written down as the
# machine before, the command line, and what the run prints and leaves. This
# file is their one reader. It checks what a run did against its transcript
# and against what must hold of any run, and replays the transcripts on the
# simulated Windows: `python3 transcript.py SIM_RUN` (tests/sim/SimRun.cpp).
# e2e/run.py replays them on wayfold.exe under Wine.
#
# A file holds runs separated by blank lines; '#' starts a comment line. A run
# is set-up lines, "$ " and the command line, then what is expected.
# Set-up:
#   user|machine NAME TYPE VALUE   a value of the current user's or the
#       all-users Environment key. TYPE: SZ, EXPAND, MULTI. VALUE: "text"
#       (UTF-16 with its zero), hex:BYTES (as stored), or - (none)
#   drive D | folder PATH | file PATH | cwd PATH (the current folder of its drive)
#   keys KEYS   standard input is a console; once the question is shown, KEYS
#       are typed, over and over until the run ends: a character is a key
#       pressed and released, ^c one released only, +c one pressed behind a
#       Shift, in one batch. typeahead KEYS: typed before the run starts.
#   stdout none   no standard output (else a file)
#   also /S     replayed with /S added too: nothing printed, the rest the same
#   wine        run under Wine only, where Windows maps names, code pages, keys;
#       locale CTYPE MESSAGES: code pages of CTYPE, thread locale of MESSAGES
#   Simulated only: refused PATH (its creation denied) | raced PATH (another
#   run makes it first) | nosddl (no descriptor can be built) | mutex
#   held|abandoned | failwrite N (that write to standard output fails; -N:
#   writes nothing) | stdout console | after N user|machine NAME TYPE VALUE
#   (another program sets it after registry call N) | module PATH (the exe) |
#   sweep: the run again with each registry call refused in turn (access
#   denied; a value's query also not found, the value deleted just before),
#   and killed after each registry write, each checked as any run is and
#   against the Path the plain run leaves.
# Expected: "| TEXT" the lines printed, all of them; "says TEXT" one line among
# them; "err TEXT" a line of standard error ('@' for the address); "exit N"
# (none: killed); user|machine values (those not named are as before); "made
# PATH [SDDL]" a folder there afterwards and not before, in capitals (made with
# that descriptor: simulated only). In a TEXT, {XX} is the byte XX in output
# lines, the character U+00XX elsewhere.
#
# What holds of any run: nothing but the Path and its backup changes; with /S
# nothing is printed; the Path is as it was or (its text) the old one with its
# two ends tidied (blanks and control characters, then the trailing ';'), ';'
# and one entry; a backup written holds the old text; exit 0 means an entry
# names the folder typed (up to case and trailing backslashes) and that folder
# exists.
import concurrent.futures, json, os, re, subprocess, sys

SCOPES = {"user": "u", "machine": "m"}
TYPES = {"SZ": 1, "EXPAND": 2, "MULTI": 7}
SIMULATED = {"refused", "raced", "nosddl", "mutex", "failwrite", "after", "module", "sweep"}
NAMED = {"none": 0, "file": 1, "console": 2, "held": 1, "abandoned": 2}  # stdout, mutex
OEM = {"fr_FR": "cp850", "ja_JP": "cp932", "C": "cp437"}  # the console's code page, by LC_CTYPE
PATH, BACKUP = "PATH", "PATH_WAYFOLD_BACKUP"
BLANKS = "".join(map(chr, range(33)))


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
    return "none" if not value else "%s \"%s\"" % ({v: k for k, v in TYPES.items()}.get(value[0], value[0]), t)


class Run:
    def __init__(self, where, lines):
        self.where, self.setup, self.expect = where, [], []
        target = self.setup
        for line in lines:
            if line.startswith("$ "):
                self.command, target = chars(line[2:]), self.expect
            else:
                target.append(tuple(line.partition(" ")[::2]))
        self.words = dict(self.setup)
        self.locale = self.words.get("locale", "fr_FR fr_FR").split()
        self.before = dict(self.value(w, r) for w, r in self.setup if w in SCOPES)
        self.simulated = bool(SIMULATED & set(self.words)) or self.words.get("stdout") == "console"
        self.wine = "wine" in self.words or "locale" in self.words
        args = re.findall(r'(?:[^\x00-\x20"]|"[^"]*"?)+', self.command)[1:]
        folder = next((a.replace('"', "") for a in args if a[0] != "/" and a != "?"), "")
        if re.match(r"[A-Za-z]:[^\\]", folder):  # drive-relative: below the current folder of its drive
            cwd = next((chars(r) for w, r in self.setup if w == "cwd" and r[0].upper() == folder[0].upper()),
                       folder[:2] + "\\")
            folder = cwd.rstrip("\\") + "\\" + folder[2:]
        self.folder, self.scope = folder.upper().rstrip("\\"), "m" if "/K" in (a.upper() for a in args) else "u"

    def value(self, word, rest):  # ((u|m, NAME), (type, bytes)), or None for none
        name, kind, data = (rest.split(" ", 2) + ["", ""])[:3]
        stored = bytes.fromhex(data[4:]) if data.startswith("hex:") else chars(data[1:-1]).encode("utf-16-le") + b"\0\0"
        return (SCOPES[word], name.upper()), None if kind == "-" else (TYPES[kind], stored)

    def oem(self, line):  # an output line as printed, in the console's code page
        return b"".join(bytes([int(p[1:3], 16)]) if re.fullmatch(r"\{..\}", p) else p.encode(OEM[self.locale[0]])
                        for p in re.split(r"(\{[0-9A-Fa-f]{2}\})", line)) + b"\r\n"

    def expected(self, silent):
        e = {"exit": None, "out": None, "says": [], "err": b"", "values": dict(self.before), "made": {}}
        for word, rest in self.expect:
            if word == "|":
                e["out"] = (e["out"] or b"") + self.oem(rest)
            elif word == "says":
                e["says"].append(self.oem(rest)[:-1])  # up to its line feed
            elif word == "err":
                e["err"] += self.oem(rest)
            elif word == "exit":
                e["exit"] = int(rest)
            elif word in SCOPES:
                key, value = self.value(word, rest)
                e["values"][key] = value
            elif word == "made":
                path, sddl = re.fullmatch(r"(.*?)(?: ([OD]:\S*))?", rest).groups()
                e["made"][chars(path).upper()] = sddl
        if silent:
            e["out"], e["says"] = b"", []
        return e


def all_runs():
    folder, runs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts"), []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
        at = 1  # the line a block starts on
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            blocks = f.read().split("\n\n")
        for block in blocks:
            lines = block.split("\n")
            command = next((i for i, l in enumerate(lines) if l.startswith("$ ")), None)
            if command is not None:
                runs.append(Run("%s:%d" % (name, at + command), [l for l in lines if l and l[0] != "#"]))
            at += len(lines) + 1
    return runs


def first_difference(got, want, codec):  # of two outputs, in words
    g, w = got.split(b"\r\n"), want.split(b"\r\n")
    n = next(i for i in range(len(g) + 1) if i == len(g) or i == len(w) or g[i] != w[i])
    line = lambda lines: repr(lines[n].decode(codec, "replace")) if n < len(lines) - 1 else "nothing"
    return "output line %d is %s, expected %s" % (n + 1, line(g), line(w))


def compare(run, got, silent):  # what the transcript says of the run
    e, codec, problems = run.expected(silent), OEM[run.locale[0]], []
    if got["exit"] != e["exit"]:
        problems.append("exit %s, expected %s" % (got["exit"], e["exit"]))
    if e["out"] is not None and got["out"] != e["out"]:
        problems.append(first_difference(got["out"], e["out"], codec))
    problems += ["%r is not printed" % s[:-1].decode(codec) for s in e["says"] if s not in got["out"].split(b"\n")]
    err = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", got["err"])
    if err != e["err"]:
        problems.append("standard error: " + first_difference(err, e["err"], codec))
    for key in sorted(set(e["values"]) | set(got["values"])):
        if (key in e["values"] or key in run.before) and got["values"].get(key) != e["values"].get(key):
            problems.append("%s %s is %s, expected %s" % (*key, shown(got["values"].get(key)), shown(e["values"][key])))
    for path in sorted(set(got["made"]) | set(e["made"])):
        if path not in got["made"] or path not in e["made"]:
            problems.append("%s is %s" % (path, "made" if path in got["made"] else "not made"))
        elif e["made"][path] and got["made"][path] != e["made"][path]:
            problems.append("%s is made with %s" % (path, got["made"][path]))
    return problems


def invariants(run, got, silent, old=None):  # what holds of any run; old: the Path as the run found it
    problems, path, backup = [], (run.scope, PATH), (run.scope, BACKUP)
    old, new = run.before.get(path) if old is None else old, got["values"].get(path)
    changed = {k for k in set(run.before) | set(got["values"]) if run.before.get(k) != got["values"].get(k)}
    problems += ["%s %s changed" % k for k in sorted(changed - {path, backup})]
    if silent and got["out"]:
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
    if got.get("violations") or (got.get("openkeys") and got["exit"] is not None):  # (simulated only)
        problems.append("%(violations)d calls out of turn, %(openkeys)d keys left open" % got)
    return problems


def sweep(run, plain, got, silent, fail, status):  # a refused call or a kill, against the plain run
    path, old = (run.scope, PATH), run.before.get((run.scope, PATH))
    final, now = plain["values"].get(path), got["values"].get(path)
    state = lambda v: v and (v[0], text(v))
    allowed = {state(old), state(final), final and old and (final[0], text(old)), not old and (2, "")}
    if status == 2:  # another program deleted the Path: made again, it holds the folder alone
        allowed = {None, final and (2, text(final).rsplit(";", 1)[-1])}
    problems = invariants(run, got, silent, (2, b"\0\0") if status == 2 else None)
    if state(now) not in allowed:
        problems.append("the Path is %s" % shown(now))
    if got["exit"] == 0 and status != 2 and state(now) != state(final):
        problems.append("exit 0, but the Path is %s, not %s" % (shown(now), shown(final)))
    if got["exit"] == 1 and state(final) != state(old) and state(now) == state(final):
        problems.append("exit 1, but the Path is as a run that succeeded leaves it")
    if set(got["made"]) != set(plain["made"]):
        problems.append("made %s, where the plain run made %s" % (sorted(got["made"]), sorted(plain["made"])))
    return problems


def machine(run, silent, fail=(0, 5), die=0):  # the simulated machine, as SimRun reads it
    ansi = lambda text: chars(text).encode("cp1252").hex()
    m = {"line": (run.command + " /S" * silent).encode("utf-16-le").hex(), "drives": [], "folders": [], "files": [],
         "refused": [], "raced": [], "cwd": {}, "keys": "", "stdout": 1, "failwrite": 0, "nosddl": False,
         "mutex": 0, "module": ansi("C:\\outils\\wayfold.exe"), "after": [], "fail": list(fail), "die": die,
         "values": [[s, n, t, d.hex()] for (s, n), (t, d) in run.before.items()]}
    for word, rest in run.setup:
        if word in ("drive", "folder", "file", "refused", "raced"):
            m[word if word in ("refused", "raced") else word + "s"].append(rest if word == "drive" else ansi(rest))
        elif word == "cwd":
            m["cwd"][rest[0].upper()] = ansi(rest)
        elif word in ("keys", "module"):
            m[word] = chars(rest) if word == "keys" else ansi(rest)
        elif word in ("stdout", "failwrite", "mutex"):
            m[word] = NAMED[rest] if rest in NAMED else int(rest)
        elif word == "nosddl":
            m[word] = True
        elif word == "after":
            call, scoped = rest.split(" ", 1)
            (scope, name), (kind, data) = run.value(*scoped.split(" ", 1))
            m["after"] = [int(call), scope, name, kind, data.hex()]
    return m


def simulate(sim, m):  # what the run did, as the checks above read it
    out = json.loads(subprocess.run([sim], input=json.dumps(m), capture_output=True, text=True, check=True).stdout)
    scope = {r"HKCU\ENVIRONMENT": "u", r"HKLM\SYSTEM\CURRENTCONTROLSET\CONTROL\SESSION MANAGER\ENVIRONMENT": "m"}
    values = {(scope[i.rsplit("\\", 1)[0]], i.rsplit("\\", 1)[1]): (t, bytes.fromhex(d))
              for i, t, d in out.get("values") or [] if i.rsplit("\\", 1)[0] in scope}
    decode = lambda h: bytes.fromhex(h).decode("cp1252")
    return dict(out, out=bytes.fromhex(out["out"]), err=bytes.fromhex(out["err"]), values=values,
                made={decode(p): s or None for p, s in (out.get("made") or {}).items()},
                folders={decode(p) for p in out["folders"]})


def replay_simulated(sim):
    def one(run, silent):
        got, problems = simulate(sim, machine(run, silent)), []
        label = run.where + " with /S" * silent
        problems += [label + ": " + p for p in compare(run, got, silent) + invariants(run, got, silent)]
        if "sweep" in run.words:
            plain = run.expected(silent)
            variants = [((k, 5), 0, "call %d refused" % k) for k in range(1, len(got["calls"]) + 1)]
            variants += [((k, 2), 0, "call %d finding nothing" % k) for k, c in enumerate(got["calls"], 1) if c == "Q"]
            variants += [((0, 5), w, "killed after write %d" % w) for w in range(1, got["writes"] + 1)]
            for fail, die, name in variants:
                other = simulate(sim, machine(run, silent, fail, die))
                problems += ["%s, %s: %s" % (label, name, p) for p in sweep(run, plain, other, silent, *fail)]
        return problems, 1 + len(variants) if "sweep" in run.words else 1

    jobs = [(r, s) for r in all_runs() if not r.wine for s in (0, 1)[:1 + ("also" in r.words)]]
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        results = list(pool.map(lambda job: one(*job), jobs))
    problems = [p for found, _ in results for p in found]
    print("\n".join(problems + ["%d runs on the simulated Windows, %d problems" % (sum(n for _, n in results),
                                                                                  len(problems))]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(replay_simulated(sys.argv[1]))

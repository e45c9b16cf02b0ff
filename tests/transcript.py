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
#   drive D | folder PATH | cwd PATH (the current folder of its drive)
#   keys KEYS   standard input is a console, where KEYS are typed over and
#       over once the question is shown: a character is a key pressed and
#       released, ^c one released only, +c one pressed behind a Shift in one
#       batch. typeahead KEYS: typed before the run starts.
#   locale CTYPE MESSAGES   the code pages of CTYPE, the thread locale of MESSAGES
#   stdout none|closed   started with no standard input or output at all, or
#       with standard output a pipe whose reader is gone
# Those runs are replayed on wayfold.exe under Wine. The ones with a word below
# are replayed on the simulated Windows instead, which has no console input
# and knows ASCII names only:
#   failwrite N (that write to standard output fails; -N: writes nothing) |
#   nosddl (no security descriptor can be built) | mutex held|abandoned |
#   grows N (another program lengthens the Path by a zero character right
#   after each of the first N times the run asks its size) |
#   sweep (the run again with each registry call refused in turn, access
#   denied, and for a query not found, the value deleted just before; and
#   killed after each registry write; each checked as any run is and against
#   the Path that the plain run leaves).
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

SCOPES, TYPES, SIMULATED = (
    {"user": "u", "machine": "m"},
    {"SZ": 1, "EXPAND": 2, "MULTI": 7},
    {"failwrite", "mutex", "sweep", "nosddl", "grows"},
)
OEM = {"fr_FR": "cp850", "ja_JP": "cp932"}  # the console's code page, by LC_CTYPE
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
    return (
        '%s "%s"'
        % (
            {1: "SZ", 2: "EXPAND", 7: "MULTI"}[value[0]],
            t if len(t) < 99 else t[:40] + "[...]" + t[-40:],
        )
        if value
        else "none"
    )


class Run:
    def __init__(self, where, lines):
        self.where, self.setup, self.expect = where, [], []
        for line in lines:
            if line.startswith("$ "):
                self.command = chars(line[2:])
            else:
                (self.expect if hasattr(self, "command") else self.setup).append(
                    tuple(line.partition(" ")[::2])
                )
        self.words, self.locale = (
            dict(self.setup),
            dict(self.setup).get("locale", "fr_FR fr_FR").split(),
        )
        self.before, self.simulated = dict(
            self.value(w, r) for w, r in self.setup if w in SCOPES
        ), bool(SIMULATED & set(self.words))
        args = re.findall(r'(?:[^\x00-\x20"]|"[^"]*"?)+', self.command)[1:]
        folder = next((a.replace('"', "") for a in args if a[0] != "/" and a != "?"), "")
        if re.match(
            r"[A-Za-z]:[^\\]", folder
        ):  # drive-relative: below the current folder of its drive
            folder = (
                next(
                    (
                        chars(r).rstrip("\\")
                        for w, r in self.setup
                        if w == "cwd" and r[0] == folder[0]
                    ),
                    folder[:2],
                )
                + "\\"
                + folder[2:]
            )
        switches = set(map(str.upper, args))
        self.folder, self.scope, self.silent = (
            folder.upper().rstrip("\\"),
            "m" if "/K" in switches else "u",
            "/S" in switches,
        )

    def value(self, word, rest):  # ((u|m, NAME), (type, bytes)), or None for none
        name, kind, data = (rest.split(" ", 2) + ["", ""])[:3]
        stored = (
            bytes.fromhex(data[4:])
            if data.startswith("hex:")
            else chars(data[1:-1]).encode("utf-16-le") + b"\0\0"
        )
        return (SCOPES[word], name.upper()), None if kind == "-" else (TYPES[kind], stored)

    def oem(self, line):  # an output line as printed, in the console's code page
        return (
            b"".join(
                bytes([int(p[1:3], 16)])
                if re.fullmatch(r"\{..\}", p)
                else p.encode(OEM[self.locale[0]])
                for p in re.split(r"(\{[0-9A-Fa-f]{2}\})", line)
            )
            + b"\r\n"
        )

    def expected(self):
        e = {
            "exit": None,
            "out": None,
            "says": [],
            "err": b"",
            "values": dict(self.before),
            "made": {},
        }
        for word, rest in self.expect:
            if word in ("|", "err"):
                e["out" if word == "|" else "err"] = (
                    e["out" if word == "|" else "err"] or b""
                ) + self.oem(rest)
            elif word in SCOPES:
                e["values"].update([self.value(word, rest)])
            elif word == "made":  # PATH [SDDL]
                e["made"].update(
                    {
                        chars(p).upper(): d
                        for p, d in [re.fullmatch(r"(.*?)(?: ([OD]:\S*))?", rest).groups()]
                    }
                )
            else:
                e[word] = int(rest) if word == "exit" else e[word] + [self.oem(rest)[:-2]]
        return dict(e, out=b"", says=[]) if self.silent else e


def all_runs():
    folder, runs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts"), []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            at = 1  # the line a block starts on
            for block in f.read().split("\n\n"):
                lines = block.split("\n")  # several command lines: as many runs, alike but for it
                runs += [
                    Run(
                        "%s:%d" % (name, at + n),
                        [
                            l
                            for i, l in enumerate(lines)
                            if l and l[0] != "#" and (i == n or l[:2] != "$ ")
                        ],
                    )
                    for n, command in enumerate(lines)
                    if command.startswith("$ ")
                ]
                at += len(lines) + 1
    return runs


def compare(run, got):  # what the transcript says of the run, its differences in words
    e, codec, problems = run.expected(), OEM[run.locale[0]], []
    said = (
        lambda lines, n: repr(lines[n].decode(codec, "replace"))
        if lines[n:] not in ([], [b""])
        else "nothing"
    )
    for name, printed, wanted in (
        ("output", got["out"], e["out"]),
        ("standard error", got["err"], e["err"]),
    ):
        g = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", printed).split(b"\r\n")
        w = g if wanted is None else wanted.split(b"\r\n")
        n = next((i for i in range(len(g)) if i == len(w) or g[i] != w[i]), len(g))
        problems += ["%s line %d is %s, expected %s" % (name, n + 1, said(g, n), said(w, n))] * (
            n < max(len(g), len(w))
        )
    problems += [
        "%r is not printed" % s.decode(codec)
        for s in e["says"]
        if s not in got["out"].split(b"\r\n")
    ]
    problems += ["exit %s, expected %s" % (got["exit"], e["exit"])] * (got["exit"] != e["exit"])
    problems += [
        "%s %s is %s, expected %s" % (*k, shown(got["values"].get(k)), shown(v))
        for k, v in sorted(e["values"].items())
        if got["values"].get(k) != v
    ]
    problems += [
        "%s is %s" % (p, "made" if p in got["made"] else "not made")
        for p in sorted(set(got["made"]) ^ set(e["made"]))
    ]
    return problems + [
        "%s is made with %s" % (p, got["made"][p])
        for p, s in e["made"].items()
        if s and got["made"].get(p, s) != s
    ]


def invariants(run, got, old=None):  # what holds of any run; old: the Path as the run found it
    problems, path, backup = [], (run.scope, PATH), (run.scope, BACKUP)
    old, new = run.before.get(path) if old is None else old, got["values"].get(path)
    changed = {
        k for k in set(run.before) | set(got["values"]) if run.before.get(k) != got["values"].get(k)
    }
    problems += ["%s %s changed" % k for k in sorted(changed - {path, backup})] + [
        "it printed with /S"
    ] * (run.silent and got["out"] != b"")
    if old and new and (old[0], text(old)) != (new[0], text(new)):
        tidied = text(old).strip(BLANKS).rstrip(";")
        appended = (tidied + ";" if tidied else "") + text(new).rsplit(";", 1)[-1]
        if (
            text(new) not in (text(old), appended)
            or new[0] not in (old[0], 2)
            or old[0] not in (1, 2)
        ):
            problems.append("the Path went from %s to %s" % (shown(old), shown(new)))
    if (
        backup in changed
        and got["values"].get(backup)
        and text(got["values"][backup]) != text(run.before.get(path))
    ):
        problems.append("the backup holds %s" % shown(got["values"][backup]))
    if (
        got["exit"] == 0
        and run.folder
        and run.folder
        not in {e.upper().rstrip("\\") for e in text(new).split(";")} & got["folders"]
    ):
        problems.append("exit 0, but no entry of %s names the folder %s" % (shown(new), run.folder))
    if got.get("outofturn"):  # (simulated only)
        problems.append(
            "%(outofturn)d registry calls out of turn, or keys or the lock left open" % got
        )
    return problems


def sweep(run, plain, got, status):  # a refused call or a kill, against the plain run's end
    path, old = (run.scope, PATH), run.before.get((run.scope, PATH))
    final, now, state = (
        plain["values"].get(path),
        got["values"].get(path),
        lambda v: v and (v[0], text(v)),
    )
    allowed = {
        state(old),
        state(final),
        final and old and (final[0], text(old)),
        not old and (2, ""),
    }
    if status == 2:  # another program deleted the Path: made again, it holds the folder alone
        allowed = {None, final and (2, text(final).rsplit(";", 1)[-1])}
    problems = invariants(run, got, (2, b"\0\0") if status == 2 else None) + [
        "the Path is %s" % shown(now)
    ] * (state(now) not in allowed)
    if got["exit"] == 0 and status != 2 and state(now) != state(final):
        problems.append("exit 0, but the Path is %s, not %s" % (shown(now), shown(final)))
    if got["exit"] == 1 and state(final) != state(old) and state(now) == state(final):
        problems.append("exit 1, but the Path is as a run that succeeded leaves it")
    return problems + ["made %s, not %s" % (sorted(got["made"]), sorted(plain["made"]))] * (
        set(got["made"]) != set(plain["made"])
    )


def simulate(
    sim, run, fail=(0, 5), die=0
):  # the run on the simulated Windows, as the checks read it
    m = {
        "line": run.command,
        "fail": fail,
        "die": die,
        "nosddl": "nosddl" in run.words,
        "values": [[s, n, t, list(d)] for (s, n), (t, d) in run.before.items()],
        "folders": [r + ":" * (w == "drive") for w, r in run.setup if w in ("folder", "drive")],
        "failwrite": int(run.words.get("failwrite", 0)),
        "grows": int(run.words.get("grows", 0)),
        "mutex": ["", "held", "abandoned"].index(run.words.get("mutex", "")),
    }
    out = json.loads(
        subprocess.run(
            [sim], input=json.dumps(m), capture_output=True, text=True, check=True, timeout=60
        ).stdout
    )
    return dict(
        out,
        out=bytes(out["out"]),
        err=bytes(out["err"]),
        folders=set(out["folders"]),
        values={(s, n): (t, bytes(d)) for s, n, t, d in out["values"]},
        made={p: s or None for p, s in out["made"].items()},
    )


def replay_simulated(sim):
    def one(run):
        got = simulate(sim, run)
        variants = [((k, 5), 0, "call %d refused" % k) for k in range(1, len(got["calls"]) + 1)]
        variants += [
            ((k, 2), 0, "call %d finding nothing" % k)
            for k, c in enumerate(got["calls"], 1)
            if c == "Q"
        ]
        variants += [((0, 5), w, "killed after write %d" % w) for w in range(1, got["writes"] + 1)]
        return [run.where + ": " + p for p in compare(run, got) + invariants(run, got)] + [
            "%s, %s: %s" % (run.where, name, p)
            for fail, die, name in variants * ("sweep" in run.words)
            for p in sweep(run, run.expected(), simulate(sim, run, fail, die), fail[1])
        ]

    runs = [r for r in all_runs() if r.simulated]
    problems = sum(map(one, runs), [])
    print(
        "\n".join(
            problems
            + ["%d runs on the simulated Windows, %d problems" % (len(runs), len(problems))]
        )
    )
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(replay_simulated(sys.argv[1]))

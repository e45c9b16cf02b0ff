# Transcripts (tests/transcripts/*.txt): runs of wayfold written down as the
# machine before, the command line, and what the run prints and leaves. This
# file is their one reader, strict: a word it does not know, a malformed value
# or a block without a command line stops the suite, naming the file and line.
# It also holds what must hold of any run, stated on its own terms.
#
# A file holds blocks separated by blank lines; '#' starts a comment line. A
# block is set-up lines, one or more "$ " command lines (as many runs, with the
# rest in common), then what is expected.
# Set-up:
#   user|machine NAME TYPE VALUE   a value of the current user's or the
#       all-users Environment key. TYPE: SZ, EXPAND, MULTI. VALUE: "text"
#       (stored in UTF-16 with its zero) or hex:BYTES (as stored); "NAME -": none
#   drive D | folder PATH | cwd PATH (the current folder of its drive)
#   keys KEYS   standard input is a console where KEYS are typed over and over
#       once the question is shown: a character is a key pressed and released,
#       ^c one released only, +c one pressed behind a Shift in one batch.
#       typeahead KEYS: typed before the run starts.
#   locale CTYPE MESSAGES   the code pages of CTYPE, the thread locale of MESSAGES
#   stdout none|closed   no standard handles at all, or standard output a pipe
#       whose reader is gone
#   lock user|machine held|semaphore|refusing|foreign   under the name of that
#       Path's lock, before the run: a mutex held by another run, a semaphore, a
#       mutex that refuses the run, a mutex owned by another user
# Windows' answers that Wine cannot give, put in by the test build of the
# program (tests/fault/Faults.cpp, which explains them): refuse N, vanish N,
# retype N, grows N, kill N, short N, ahead PATH, sd PATH SDDL, volume acls|noacls, nosddl, oom N; and
# sweep: the
# run again with each registry call refused in turn (and each query finding the
# value deleted just before), and killed after each registry write.
# Expected: "| TEXT" the lines printed, all of them; "says TEXT" one of them;
# "err TEXT" a line of standard error ('@' for the address); "exit N";
# user|machine values (those not named stay as they were); "added": the
# folder appended to the Path, as any run may (in a table of runs); "made
# PATH" a folder there afterwards and not before. In a TEXT, {XX} is the byte XX in
# output lines, the character U+00XX elsewhere.
import os
import re

SCOPES = {"user": "u", "machine": "m"}
TYPES = {"SZ": 1, "EXPAND": 2, "MULTI": 7}
REG_SZ, REG_EXPAND_SZ = 1, 2
PATH, BACKUP = "PATH", "PATH_WAYFOLD_BACKUP"
FAULTS = set("refuse vanish retype grows kill short ahead sd volume nosddl oom".split())
SETUP = {"drive", "folder", "cwd", "keys", "typeahead", "locale", "stdout", "lock", "sweep"}
NUMBERED = {"exit", "kill", "refuse", "vanish", "retype", "grows", "short", "oom"}
EXPECT = {"|", "says", "err", "exit", "made", "added"}
OEM = {"fr_FR": "cp850", "ja_JP": "cp932"}  # the console's code page, by LC_CTYPE
BLANKS = "".join(map(chr, range(33)))
SYSTEM, ADMINISTRATORS = "S-1-5-18", "S-1-5-32-544"
READ_AND_EXECUTE = 0x1200A9
FULL_CONTROL = 0x1F01FF
GENERIC_ALL = 0x10000000
SYNCHRONIZE, READ_CONTROL, MUTEX_MODIFY_STATE = 0x100000, 0x20000, 0x1


class TranscriptError(Exception):
    pass


def chars(text):  # {XX} as the character U+00XX
    return re.sub(r"\{([0-9A-Fa-f]{2})\}", lambda m: chr(int(m[1], 16)), text)


def text(value):  # a stored text without its trailing zeros
    data = value[1] if value else b""
    while len(data) % 2 == 0 and data.endswith(b"\0\0"):
        data = data[:-2]
    return data.decode("utf-16-le", "replace")


def shown(value):  # a value in words, a long one cut short
    if not value:
        return "none"
    t = text(value)
    kind = {1: "SZ", 2: "EXPAND", 7: "MULTI"}[value[0]]
    return '%s "%s"' % (kind, t if len(t) < 99 else t[:40] + "[...]" + t[-40:])


def split_command(line):
    """The arguments after the command's name, by the README's rules: blanks and
    control characters separate them outside quotes; quotes are dropped."""
    args, arg, quoted = [], "", False
    for c in line + "\0":
        if c == '"':
            quoted = not quoted
        elif c == "\0" or (ord(c) <= 32 and not quoted):
            if arg:
                args.append(arg)
            arg = ""
        else:
            arg += c
    return args[1:]


def parse_value(word, rest, where):
    """((u|m, NAME), (type, bytes)), or None for none."""
    m = re.fullmatch(r'(\S+) (?:-|(SZ|EXPAND|MULTI) (?:"(.*)"|hex:((?:[0-9a-f]{2})*)))', rest)
    if not m:
        raise TranscriptError("%s: malformed value: %s %s" % (where, word, rest))
    name, kind, quoted, hexed = m.groups()
    key = (SCOPES[word], name.upper())
    if kind is None:
        return key, None
    if hexed is not None:
        return key, (TYPES[kind], bytes.fromhex(hexed))
    return key, (TYPES[kind], chars(quoted).encode("utf-16-le") + b"\0\0")


class Run:
    def __init__(self, where, setup, command, expect):
        self.where, self.setup, self.command, self.expect = where, setup, command, expect
        self.words = dict(setup)
        self.locale = self.words.get("locale", "fr_FR fr_FR").split()
        self.before = dict(self.value(w, r) for w, r in setup if w in SCOPES)
        self.faults = [(w, r) for w, r in setup if w in FAULTS]
        self.sweep = "sweep" in self.words
        args = split_command(command)
        switches = {a.upper() for a in args if a[0] == "/" or a == "?"}
        folder = next((a for a in args if a[0] != "/" and a != "?"), "")
        if re.match(r"[A-Za-z]:[^\\]", folder):  # below the current folder of its drive
            cwd = chars(self.words.get("cwd", "")).rstrip("\\")
            folder = (
                (cwd if cwd[:1].upper() == folder[0].upper() else folder[:2]) + "\\" + folder[2:]
            )
        self.folder = folder.upper().rstrip("\\")
        self.scope = "m" if "/K" in switches else "u"
        self.silent = "/S" in switches
        self.repair_only = "/R" in switches and not folder
        self.help = bool(switches & {"/?", "?"}) or not args

    def value(self, word, rest):
        return parse_value(word, rest, self.where)

    def oem(self, line):  # an output line as printed, in the console's code page
        parts = re.split(r"(\{[0-9A-Fa-f]{2}\})", line)
        encoded = [
            bytes([int(p[1:3], 16)])
            if re.fullmatch(r"\{..\}", p)
            else p.encode(OEM[self.locale[0]])
            for p in parts
        ]
        return b"".join(encoded) + b"\r\n"

    def expected(self):
        e = {"exit": None, "out": None, "says": [], "err": b"", "values": dict(self.before)}
        e["added"] = False
        e["made"] = set()
        for word, rest in self.expect:
            if word == "|":
                e["out"] = (e["out"] or b"") + self.oem(rest)
            elif word == "err":
                e["err"] += self.oem(rest)
            elif word == "says":
                e["says"].append(self.oem(rest)[:-2])
            elif word == "exit":
                e["exit"] = int(rest)
            elif word == "made":
                e["made"].add(chars(rest).upper())
            elif word == "added":
                e["values"].pop((self.scope, PATH), None)
                e["added"] = True
            else:
                e["values"].update([self.value(word, rest)])
        if self.silent:
            e["out"], e["says"] = b"", []
        return e


def read_file(path):
    name, runs = os.path.basename(path), []
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    block = []
    for number, line in enumerate(lines + [""], 1):
        if line.strip():
            if not line.startswith("#"):
                block.append((number, line))
            continue
        if block:
            runs += read_block(name, block)
        block = []
    return runs


def read_block(name, block):
    setup, commands, expect = [], [], []
    for number, line in block:
        where = "%s:%d" % (name, number)
        if line.startswith("$ "):
            if expect:
                raise TranscriptError("%s: a command line after the expected lines" % where)
            commands.append((where, chars(line[2:])))
            continue
        word, _, rest = line.partition(" ")
        known = (SETUP | FAULTS | set(SCOPES)) if not commands else (EXPECT | set(SCOPES))
        if word not in known:
            raise TranscriptError("%s: unknown word %r" % (where, word))
        if word in NUMBERED and not rest.isdigit():
            raise TranscriptError("%s: %s needs a number" % (where, word))
        if word in SCOPES:
            parse_value(word, rest, where)
        (expect if commands else setup).append((word, rest))
    if not commands:
        raise TranscriptError("%s:%d: a block without a command line" % (name, block[0][0]))
    return [Run(where, setup, command, expect) for where, command in commands]


def all_runs():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts")
    names = sorted(n for n in os.listdir(folder) if n.endswith(".txt"))
    return [run for name in names for run in read_file(os.path.join(folder, name))]

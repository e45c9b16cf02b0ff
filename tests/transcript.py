# Transcripts (tests/transcripts/*.txt): runs of wayfold written down as the
# machine before, the command line, and what the run prints and leaves. This
# is their one reader, strict: a word it does not know, a malformed value or
# a block without a command line stops the suite, naming the file and line.
#
# A file holds blocks separated by blank lines; '#' starts a comment line. A
# block is set-up lines, one or more "$ " command lines (as many runs, with the
# rest in common), then what is expected.
# Set-up:
#   user|machine NAME TYPE VALUE   a value of the current user's or the
#       all-users Environment key. TYPE: SZ, EXPAND, MULTI. VALUE: "text"
#       (stored in UTF-16 with its zero) or hex:BYTES (as stored)
#   drive D | folder PATH | file PATH (empty) | cwd PATH (the current folder
#       of its drive)
#   keys [EARLY|]KEYS   standard input is a console where EARLY are typed
#       before the run starts, and KEYS over and over once it has had time to
#       ask (after EARLY released again), each key pressed and released
#   locale CTYPE MESSAGES   the code pages of CTYPE, the thread locale of MESSAGES
#   stdout none|closed   no standard handles at all, or standard output a pipe
#       whose reader is gone
#   sweep   the run again with each registry call refused in turn, each query
#       finding the value deleted just before, and killed after each registry
#       write: a sub-test each
#   and Windows' answers that Wine cannot give, put in by the test build of the
#   program (tests/fault/Faults.h explains them): refuse N, vanish N, retype
#   N, grows N, kill N, oom N, ahead PATH, sd PATH SDDL, link PATH TARGET,
#   volume fat, nosddl, lock held|abandoned|foreign. A run with any of them,
#   or a sweep, is a run of the test build, where every folder and file not
#   planned otherwise answers as one under C:\Program Files.
# Expected: "| TEXT" the lines printed, all of them; "says TEXT" one of them;
# "err TEXT" a line of standard error ('@' for the address); "exit N";
# user|machine values (those not named stay as they were, unless the run exits
# 0; "NAME -": none).
# And variants, a test each: the run again with one more of Windows' answers,
# "FAULT says TEXT" or "FAULT exits N" (with a sweep, in place of its sub-test
# of that name). In a TEXT, {XX} is the byte XX in output lines, the
# character U+00XX elsewhere.
import itertools
import os
import re

SCOPES = {"user": "u", "machine": "m"}
TYPES = {"SZ": 1, "EXPAND": 2, "MULTI": 7}
NUMBERED = set("refuse vanish retype grows kill oom exit exits".split())
FAULTS = NUMBERED - {"exit", "exits"} | set("ahead sd link volume nosddl lock".split())
SETUP = FAULTS | set("drive folder file cwd keys locale stdout sweep".split()) | set(SCOPES)
EXPECT = {"|", "says", "err", "exit"} | set(SCOPES)
OEM = {"fr_FR": "cp850", "ja_JP": "cp932"}  # the console's code page, by LC_CTYPE


def chars(text):  # {XX} as the character U+00XX
    return re.sub(r"\{([0-9A-F]{2})\}", lambda m: chr(int(m[1], 16)), text)


def text(value):  # a stored text without its trailing zeros
    data = value[1] if value else b""
    while len(data) % 2 == 0 and data.endswith(b"\0\0"):
        data = data[:-2]
    return data.decode("utf-16-le", "replace")


# The arguments after the command's name, by the README's rules: runs of
# characters other than blanks and control characters, or of quoted parts,
# which may hold them; quotes are dropped, and what is left empty is none.
def split_command(line):
    words = re.findall(r'(?:[^"\x01-\x20]|"[^"]*"?)+', line)
    return [arg for arg in (word.replace('"', "") for word in words) if arg][1:]


# ((u|m, NAME), (type, bytes)), or None for none.
def parse_value(word, rest, where):
    m = re.fullmatch(r'(\S+) (?:-|(SZ|EXPAND|MULTI) (?:"(.*)"|hex:((?:[0-9a-f]{2})*)))', rest)
    if not m:
        raise ValueError("%s: malformed value: %s %s" % (where, word, rest))
    name, kind, quoted, hexed = m.groups()
    if kind is None:
        return (SCOPES[word], name.upper()), None
    data = bytes.fromhex(hexed) if hexed is not None else (chars(quoted) + "\0").encode("utf-16-le")
    return (SCOPES[word], name.upper()), (TYPES[kind], data)


# A command line of a block, with what its block sets up and expects;
# variants: {FAULT: (where, [what that variant expects])}.
class Run:
    def __init__(self, where, setup, command, expect, variants):
        self.where = where
        self.setup = setup
        self.command = command
        self.variants = variants
        self.words = dict(setup)
        self.locale = self.words.get("locale", "fr_FR fr_FR").split()
        self.before = dict(parse_value(w, r, where) for w, r in setup if w in SCOPES)
        self.faults = [(w + " " + chars(r)).strip() for w, r in setup if w in FAULTS]
        args = split_command(command)
        switches = {a.upper() for a in args if a[0] == "/" or a == "?"}
        folder = next((a for a in args if a[0] != "/" and a != "?"), "")
        if re.match(r"[A-Za-z]:[^\\]", folder):  # below the current folder of its drive
            cwd = chars(self.words.get("cwd", "")).rstrip("\\")
            drive = cwd if cwd[:1].upper() == folder[0].upper() else folder[:2]
            folder = drive + "\\" + folder[2:]
        self.folder = folder.upper().rstrip("\\")
        self.path = ("m" if "/K" in switches else "u", "PATH")
        self.silent = "/S" in switches
        self.repair_only = "/R" in switches and not folder
        # A run that fails leaves what it does not name as it was; what one
        # that succeeds may leave, the oracle says.
        self.expected = self.expectations(
            expect, {} if ("exit", "0") in expect else dict(self.before)
        )

    def oem(self, line):  # an output line as printed, in the console's code page
        parts = re.split(r"\{([0-9A-F]{2})\}", line)
        for n in range(len(parts)):
            parts[n] = bytes.fromhex(parts[n]) if n % 2 else parts[n].encode(OEM[self.locale[0]])
        return b"".join(parts)

    def expectations(self, lines, values):
        e = {"exit": None, "out": None, "says": [], "err": b"", "values": values}
        for word, rest in lines:
            if word == "|":
                e["out"] = (e["out"] or b"") + self.oem(rest) + b"\r\n"
            elif word == "err":
                e["err"] += self.oem(rest) + b"\r\n"
            elif word == "says":
                e["says"].append(self.oem(rest))
            elif word in ("exit", "exits"):
                e["exit"] = int(rest)
            else:
                values.update([parse_value(word, rest, self.where)])
        return e


def read_line(where, line, words):
    word, _, rest = line.partition(" ")
    if word not in words:
        raise ValueError("%s: unknown word %r" % (where, word))
    if word in NUMBERED and not rest.isdigit():
        raise ValueError("%s: %s needs a number" % (where, word))
    if word in SCOPES:
        parse_value(word, rest, where)
    return word, rest


def read_block(block):
    setup = []
    commands = []
    expect = []
    variants = {}
    for where, line in block:
        variant = re.fullmatch(r"((\w+).*?) (says|exits) (.*)", line)
        if line.startswith("$ ") and not expect:
            commands.append((where, chars(line[2:])))
        elif not commands:
            setup.append(read_line(where, line, SETUP))
        elif variant and variant[2] in FAULTS:
            read_line(where, variant[1], FAULTS)
            said = read_line(where, "%s %s" % variant.group(3, 4), {"says", "exits"})
            variants.setdefault(chars(variant[1]), (where, []))[1].append(said)
        else:
            expect.append(read_line(where, line, EXPECT))
    if not commands or "exit" not in dict(expect):
        raise ValueError("%s: a block without a command line or an exit" % block[0][0])
    if variants and len(commands) > 1:
        raise ValueError("%s: variants of more than one command line" % block[0][0])
    return [Run(where, setup, command, expect, variants) for where, command in commands]


def all_runs():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts")
    runs = []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            lines = [("%s:%d" % (name, n), line) for n, line in enumerate(f.read().split("\n"), 1)]
        # Blocks: the lines between blank ones, comments left out.
        kept = [(where, line) for where, line in lines if not line.startswith("#")]
        for blank, block in itertools.groupby(kept, lambda numbered: not numbered[1].strip()):
            runs += [] if blank else read_block(list(block))
    return runs

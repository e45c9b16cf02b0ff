# Transcripts (tests/transcripts/*.txt): runs of wayfold written down as the
# machine before, the command line, and what the run prints and leaves behind.
# The unit tests replay them on the simulated Windows, e2e/run.py on
# wayfold.exe under Wine, the fuzzer starts from them.
#
# A file holds runs separated by blank lines; '#' starts a comment. A run is
# set-up lines, "$ " and the command line, then expected lines.
#   user|machine NAME TYPE VALUE   a value of the current user's Environment
#       key, or of the all-users one. TYPE: SZ EXPAND MULTI BINARY or a number.
#       VALUE: "text" (stored in UTF-16 with its terminating zero), hex:bytes
#       (stored as given), or - (no such value; expected lines only)
#   drive D | folder PATH | file PATH | cwd PATH (current folder of its drive)
#   keys TEXT    standard input is a console, TEXT typed at it, a key at a time
#   also /S      replayed with /S added too: nothing printed, the rest the same
#   stdout file|none (standard output a file, or none); simulated only:
#     stdout console | codepage 932 |
#     failwrite N (that write to standard output fails; -N: "succeeds", writing
#     nothing) | refused PATH (its
#     creation fails) | nosddl (no security descriptor can be built) |
#     typeahead TEXT (typed before the question) | module PATH (of the exe) |
#     after N user|machine NAME TYPE VALUE (another program sets it after the
#     registry call N) |
#     simulated (the run is not replayed under Wine)
# Expected: "| TEXT" a line of standard output (the question and its echo are
# one line), "err TEXT" a line of standard error ('@' for the address), "exit
# N", "writes N" (simulated only: writes to standard output), user|machine
# values (those not named are as before), "made PATH [SDDL]" a folder there
# afterwards and not before, in capitals (made with that security descriptor).
# Variants follow, each with its own expected lines: "@refuse A-B" each of
# these registry calls refused in turn (together they cover every call of the
# run), "@dies N" the process killed after that registry write.
# In a TEXT, {XX} is the byte XX: of the ANSI code page on the command line, in
# keys, paths and values; as printed in output lines, whose characters are in
# the console's OEM code page (850; on 932, the ANSI one).
#
# `python3 transcript.py OUT` writes every run to make (each variant, each
# refused call, with /S) for the unit tests: "run" and where it comes from,
# the set-up a word and its arguments a line, then "expect" and the outcome as
# the unit tests write it down ("calls N": the plain run makes the N registry
# calls that the refusals cover). Texts in hex: ANSI bytes, UTF-16 for the
# command line and values, the bytes printed for "out" and "err"; u and m for
# the keys.
import os, re, sys

KEYS = {"user": "u", "machine": "m"}
TYPES = {"SZ": 1, "EXPAND": 2, "BINARY": 3, "MULTI": 7}
STDOUT = {"file": 1, "console": 2, "pipe": 3, "none": 0}  # as GetFileType says
BYTE = r"(\{[0-9A-Fa-f]{2}\})"
SIMULATED_ONLY = {"after", "codepage", "failwrite", "refused", "nosddl", "typeahead", "module", "simulated"}


class Run:
    def __init__(self, where, lines):
        self.where, self.set_up, self.variants = where, [], [("plain", 0, 0, [])]
        self.code_page = 932 if "codepage 932" in lines else 1252
        target = self.set_up
        for line in lines:
            word, rest = ("|", line[2:]) if line.startswith("|") else (line.split(" ", 1) + [""])[:2]
            if word == "$":
                self.command, target = rest, self.variants[0][3]
            elif word.startswith("@"):
                first, _, last = rest.partition("-")
                self.variants.append((word[1:], int(first), int(last or first), []))
                target = self.variants[-1][3]
            else:
                target.append((word, rest))
        self.words = dict(self.set_up)

    def pieces(self, field, text_as, byte_as):  # characters and {XX} bytes, each as asked
        return [byte_as(bytes([int(p[1:3], 16)])) if re.fullmatch(BYTE, p) else text_as(p)
                for p in re.split(BYTE, field)]

    def ansi(self, field, code_page="cp1252"):  # or in another code page
        return b"".join(self.pieces(field, lambda p: p.encode(code_page), bytes))

    def wide(self, field):  # 932 is reduced to its lead bytes: a pair is the unit lead * 256 + trail
        if self.code_page == 1252:
            return "".join(self.pieces(field, str, lambda b: b.decode("cp1252"))).encode("utf-16-le")
        units = re.findall(rb"[\x81-\x9F\xE0-\xFC].|.", self.ansi(field), re.S)
        return b"".join(int.from_bytes(u, "big").to_bytes(2, "little") for u in units)

    def value(self, word, rest):  # (u|m, NAME, type, bytes or None for no value)
        name, kind, data = (rest.split(" ", 2) + ["", ""])[:3]
        stored = None if kind == "-" else bytes.fromhex(data[4:]) if data.startswith("hex:") else \
            self.wide(data[data.find('"') + 1:data.rfind('"')]) + b"\0\0"
        return KEYS[word], name.upper(), TYPES.get(kind) or int(kind != "-" and kind), stored

    def blocks(self):  # the plain form: one block for each run to make
        set_up, values = [], {}
        for word, rest in self.set_up:
            if word in KEYS or word == "after":  # after N: another program sets it after registry call N
                call, word, rest = rest.split(" ", 2) if word == "after" else ("", word, rest)
                scope, name, kind, data = self.value(word, rest)
                values.update({} if call else {(scope, name): (kind, data)})
                set_up.append(("set %s %s %d %s %s" % (scope, name, kind, data.hex(), call)).strip())
            elif word in ("folder", "file", "cwd", "keys", "typeahead", "refused", "module"):
                set_up.append("%s %s" % (word, self.ansi(rest).hex()))
            else:
                set_up.append("%s %s" % (word, STDOUT.get(rest, rest)))
        refused = sorted(k for fault, first, last, _ in self.variants if fault == "refuse"
                         for k in range(first, last + 1))
        assert refused == list(range(1, len(refused) + 1)), self.where + ": the refusals leave out a call"
        blocks = []
        for silent in (0, 1) if "also" in self.words else (0,):
            line = "line " + self.wide(self.command + " /S" * silent).hex()
            for fault, first, last, expected in self.variants:
                for k in range(first, last + 1):  # (plain: 0 to 0)
                    fault_line, calls = ["%s %d" % (fault, k)] if k else [], len(refused) * (k + silent == 0)
                    where = self.where + " with /S" * silent + "".join(", " + f for f in fault_line)
                    blocks.append(["run " + where] + set_up + [line] + fault_line + ["expect"]
                                  + self.outcome(expected, dict(values), silent, calls))
        return blocks

    def outcome(self, expected, values, silent, calls=0):  # as the unit tests write down what a run did
        printed, status, writes, made = {"|": b"", "err": b""}, "", [], []
        oem = "cp850" if self.code_page == 1252 else "cp1252"
        for word, rest in expected:
            if word in printed:
                printed[word] += self.ansi(rest, oem) + b"\r\n"
            elif word in KEYS:
                scope, name, kind, data = self.value(word, rest)
                values[scope, name] = (kind, data)  # (None: no such value)
            elif word == "made":
                path, _, sddl = rest.partition(" ")
                made.append("made %s %s" % (self.ansi(path).hex(), sddl))
            else:
                status, writes = (rest, writes) if word == "exit" else (status, ["writes " + rest])
        out = "" if silent else printed["|"].hex()
        return (["exit " + status, "out " + out, "err " + printed["err"].hex()] + writes
                + ["calls %d" % calls] * (calls > 0) + value_lines(values) + sorted(made))


def value_lines(values):  # {(u|m, NAME): (type, bytes or None)}, by the full names of the simulation
    ids = {"u": r"HKCU\ENVIRONMENT",
           "m": r"HKLM\SYSTEM\CURRENTCONTROLSET\CONTROL\SESSION MANAGER\ENVIRONMENT"}
    return sorted("value %s\\%s %d %s" % (ids[scope], name, kind, data.hex())
                  for (scope, name), (kind, data) in values.items() if data is not None)


def all_runs():
    folder, runs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transcripts"), []
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".txt")):
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            blocks, at = f.read().split("\n\n"), 1
        for block in blocks:
            lines = [l for l in block.split("\n") if l and not l.startswith("#")]
            if any(l.startswith("$ ") for l in lines):
                runs.append(Run("%s:%d" % (name, at), lines))
            at += block.count("\n") + 2
    return runs


if __name__ == "__main__":
    with open(sys.argv[1], "w") as out:
        out.write("".join("\n".join(block) + "\n\n" for run in all_runs() for block in run.blocks()))

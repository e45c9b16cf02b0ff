# What a run did, checked against its transcript and against what must hold
# of any run, each stated on its own terms. A run, as the runner reports it:
# exit (None when killed), out and err (bytes), values (the Path and every
# other value of both Environment keys after the run), made (folders there
# afterwards and not before), folders (every folder there afterwards, in
# capitals), log (the test build's lines, else empty).
import re

from transcript import (
    BACKUP,
    BLANKS,
    OEM,
    PATH,
    REG_EXPAND_SZ,
    REG_SZ,
    shown,
    text,
)

SYSTEM, ADMINISTRATORS, USERS = "S-1-5-18", "S-1-5-32-544", "S-1-5-32-545"
ALIASES = {"SY": SYSTEM, "BA": ADMINISTRATORS, "BU": USERS, "WD": "S-1-1-0", "AU": "S-1-5-11"}
FULL_CONTROL, GENERIC_ALL = 0x1F01FF, 0x10000000
READ_AND_EXECUTE = 0x1200A9
SYNCHRONIZE, READ_CONTROL, MUTEX_MODIFY_STATE = 0x100000, 0x20000, 0x1
RIGHTS = {"FA": FULL_CONTROL, "GA": GENERIC_ALL}
OBJECT_AND_CONTAINER_INHERIT = "OICI"


def lines_problem(name, got, wanted, codec):
    """The first line where two outputs differ, in words; None when alike."""
    g, w = got.split(b"\r\n"), wanted.split(b"\r\n")
    for n in range(max(len(g), len(w))):
        if g[n : n + 1] != w[n : n + 1]:
            said = lambda lines: repr(lines[n].decode(codec)) if n < len(lines) else "nothing"
            return "%s line %d is %s, expected %s" % (name, n + 1, said(g), said(w))
    return None


def compare(run, got):
    """What the transcript says of the run, its differences in words."""
    e, codec, problems = run.expected(), OEM[run.locale[0]], []
    err = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", got["err"])
    for name, printed, wanted in (
        ("output", got["out"], e["out"]),
        ("standard error", err, e["err"]),
    ):
        problem = wanted is not None and lines_problem(name, printed, wanted, codec)
        if problem:
            problems.append(problem)
    printed = got["out"].split(b"\r\n")
    problems += ["%r is not printed" % s.decode(codec) for s in e["says"] if s not in printed]
    if got["exit"] != e["exit"]:
        problems.append("exit %s, expected %s" % (got["exit"], e["exit"]))
    path = got["values"].get((run.scope, PATH))
    if e["added"] and text(path).rsplit(";", 1)[-1].upper().rstrip("\\") != run.folder:
        problems.append("the Path is %s, not with the folder added" % shown(path))
    for key, value in sorted(e["values"].items()):
        if got["values"].get(key) != value:
            problems.append(
                "%s %s is %s, expected %s" % (*key, shown(got["values"].get(key)), shown(value))
            )
    for path in sorted(got["made"] ^ e["made"]):
        problems.append("%s is %s" % (path, "made" if path in got["made"] else "not made"))
    return problems


def path_problems(run, old, new):
    """The Path is as it was, or the old text with its two ends tidied, ';'
    and one entry, its type kept or repaired; one made from nothing holds no
    more than the entry."""
    if old == new:
        return []
    if old is None:
        made = new[0] == REG_EXPAND_SZ and ";" not in text(new)
        return [] if made else ["the Path was made as %s" % shown(new)]
    if new is None:
        return ["the Path was deleted"]
    tidied = text(old).strip(BLANKS).rstrip(";")
    appended = (tidied + ";" if tidied else "") + text(new).rsplit(";", 1)[-1]
    repaired = old[0] == REG_SZ and new[0] == REG_EXPAND_SZ
    if text(new) in (text(old), appended) and (new[0] == old[0] or repaired):
        return []
    return ["the Path went from %s to %s" % (shown(old), shown(new))]


def invariants(run, got, found=False):
    """What holds of any run; found: the Path as the run found it, when
    another program changed it after the set-up."""
    path, backup = (run.scope, PATH), (run.scope, BACKUP)
    old = run.before.get(path) if found is False else found
    if old and "retype" in dict(run.faults):  # another program's change of type
        old = (REG_SZ + REG_EXPAND_SZ - old[0], old[1])
    new = got["values"].get(path)
    keys = set(run.before) | set(got["values"])
    changed = {k for k in keys if run.before.get(k) != got["values"].get(k)}
    problems = ["%s %s changed" % k for k in sorted(changed - {path, backup})]
    if run.silent and got["out"]:
        problems.append("it printed with /S")
    problems += path_problems(run, old, new)
    kept = got["values"].get(backup)
    if backup in changed and kept and (kept[0], text(kept)) != (REG_SZ, text(old)):
        problems.append("the backup holds %s" % shown(kept))
    if got["exit"] == 0 and run.folder:
        entries = {e.upper().rstrip("\\") for e in text(new).split(";")}
        if run.folder not in entries or run.folder not in got["folders"]:
            problems.append(
                "exit 0, but no entry of %s names the folder %s" % (shown(new), run.folder)
            )
    if got["exit"] == 0 and run.repair_only and (not new or new[0] != REG_EXPAND_SZ):
        problems.append("exit 0 of /R alone, but the Path is %s" % shown(new))
    return problems + log_problems(run, got["log"])


def parse_sddl(sddl):
    """(owner, protected, [(flags, rights, trustee)]) of an SDDL text."""
    m = re.fullmatch(r"O:(.+?)D:([PAIR]*)((?:\([^)]*\))*)", sddl)
    if not m:
        return None
    sid = lambda s: ALIASES.get(s, s)
    entries = []
    for ace in re.findall(r"\(([^)]*)\)", m[3]):
        kind, flags, rights, _, _, trustee = ace.split(";")
        mask = int(rights, 16) if rights.startswith("0x") else RIGHTS.get(rights)
        entries.append((kind, flags, mask, sid(trustee)))
    return sid(m[1]), "P" in m[2], entries


def folder_descriptor_problems(path, sddl):
    """A folder made for all users: owned by Administrators, its DACL protected,
    full control to SYSTEM and Administrators only, read and execute to Users,
    passed on to what it holds, and nothing else."""
    wanted = {(SYSTEM, FULL_CONTROL), (ADMINISTRATORS, FULL_CONTROL), (USERS, READ_AND_EXECUTE)}
    parsed = parse_sddl(sddl)
    if parsed:
        owner, protected, entries = parsed
        granted = {
            (t, m) for k, f, m, t in entries if k == "A" and f == OBJECT_AND_CONTAINER_INHERIT
        }
        if owner == ADMINISTRATORS and protected and granted == wanted and len(entries) == 3:
            return []
    return ["%s is made with %s" % (path, sddl)]


def lock_problems(run, name, access, sddl):
    """The lock of the Path written: one name for each Path, opened with no more
    than waiting, releasing and reading its owner; only SYSTEM, Administrators
    and, for a user's Path, that user may open it, who owns it."""
    user = name.rpartition("-Path-")[2]
    owner = ADMINISTRATORS if run.scope == "m" else user
    wanted = {SYSTEM, ADMINISTRATORS, owner}
    parsed = parse_sddl(sddl)
    problems = []
    if (run.scope == "m") != (user == "Machine") or not name.startswith("Global\\wayFOLD-Path-"):
        problems.append("the lock of this Path is named %s" % name)
    if int(access) != SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL:
        problems.append("the lock is opened for %#x" % int(access))
    if not parsed or parsed[0] != owner or not parsed[1]:
        problems.append("the lock is made with %s" % sddl)
    elif {t for k, f, m, t in parsed[2] if k == "A"} != wanted:
        problems.append("the lock may be opened by others than %s: %s" % (sorted(wanted), sddl))
    return problems


def log_problems(run, log):
    problems = []
    for line in log:
        word, rest = line.split(" ", 1)
        if word == "folder":
            path, sddl = rest.rsplit(" ", 1)
            if run.scope == "m":
                problems += folder_descriptor_problems(path, sddl)
            elif sddl != "-":
                problems.append("%s is made with %s, not as it inherits" % (path, sddl))
        elif word == "lock":
            problems += lock_problems(run, *rest.split(" "))
    return problems


def sweep_problems(run, plain, got, vanished):
    """A refused call or a kill, against what the plain run left: the Path as
    it was, as the plain run leaves it, or in between (repaired, or made and
    not yet added); exit 0 only when all is done."""
    path, old = (run.scope, PATH), run.before.get((run.scope, PATH))
    final, now = plain["values"].get(path), got["values"].get(path)
    state = lambda v: v and (v[0], text(v))
    allowed = {state(old), state(final), final and old and (final[0], text(old))}
    if not old:
        allowed.add((REG_EXPAND_SZ, ""))
    if vanished:  # another program deleted the Path: made again, it holds the entry alone
        allowed = {None, final and (REG_EXPAND_SZ, text(final).rsplit(";", 1)[-1])}
    found = (REG_EXPAND_SZ, b"\0\0") if now else None
    problems = invariants(run, got, found if vanished else False)
    if state(now) not in allowed:
        problems.append("the Path is %s" % shown(now))
    if got["exit"] == 0 and not vanished and state(now) != state(final):
        problems.append("exit 0, but the Path is %s, not %s" % (shown(now), shown(final)))
    if got["exit"] == 1 and state(final) != state(old) and state(now) == state(final):
        problems.append("exit 1, but the Path is as a run that succeeded leaves it")
    if got["made"] != plain["made"]:
        problems.append("made %s, not %s" % (sorted(got["made"]), sorted(plain["made"])))
    return problems

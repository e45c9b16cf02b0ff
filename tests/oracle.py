# What a run did, checked against its transcript and against what must hold
# of any run, each stated on its own terms. A run, as the runner reports it:
# exit (None when killed), out and err (bytes), before and values (every value
# of both Environment keys before and after the run), made (folders there
# afterwards and not before) and folders (all there afterwards), in capitals,
# log (the test build's lines, else empty).
import re

from transcript import OEM, text

REG_SZ = 1
REG_EXPAND_SZ = 2
# A folder made for all users: owned by Administrators, its DACL protected,
# full control to SYSTEM and Administrators, read and execute to Users,
# passed on to what it holds, and nothing else.
MACHINE_FOLDER = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
BLANKS = "".join(map(chr, range(33)))


# A value as its type and text, whatever zeros follow the text; None for none.
def state(value):
    return None if value is None else (value[0], text(value))


# A value in words, a long text cut short.
def shown(value):
    return repr(state(value))[:200]


# What the transcript expects of the run (e), its differences in words.
def compare(run, e, got):
    codec = OEM[run.locale[0]]
    problems = []
    err = re.sub(rb" dans [0-9A-F]{16}\.", b" dans @.", got["err"])
    for name, printed, wanted in (("output", got["out"], e["out"]), ("error", err, e["err"])):
        if wanted is not None and printed != wanted:
            problems.append(
                "%s %r, expected %r" % (name, printed.decode(codec), wanted.decode(codec))
            )
    for said in e["says"]:
        if said not in got["out"].split(b"\r\n") and not run.silent:
            problems.append(
                "%r is not printed: %r" % (said.decode(codec), got["out"].decode(codec))
            )
    if e["exit"] is not None and got["exit"] != e["exit"]:
        problems.append("exit %s, expected %s" % (got["exit"], e["exit"]))
    for key, value in sorted(e["values"].items()):
        if got["values"].get(key) != value:
            now = shown(got["values"].get(key))
            problems.append("%s %s is %s, expected %s" % (*key, now, shown(value)))
    return problems


def names_folder(run, entry):
    return bool(run.folder) and entry.upper().rstrip("\\") == run.folder


# The Path as it was, or its old text with the two ends tidied, ';' and
# an entry of the run's folder, its type kept or repaired; one made from
# nothing holds that entry alone, or nothing yet.
def path_problems(run, old, new):
    if old == new:
        return []
    if new is None:
        return ["the Path was deleted"]
    if old is None:
        made = new[0] == REG_EXPAND_SZ and (text(new) == "" or names_folder(run, text(new)))
        return [] if made else ["the Path was made as %s" % shown(new)]
    tidied = text(old).strip(BLANKS).rstrip(";")
    entry = text(new).rsplit(";", 1)[-1]
    appended = text(new) == (tidied + ";" if tidied else "") + entry and names_folder(run, entry)
    repaired = (old[0], new[0]) == (REG_SZ, REG_EXPAND_SZ)
    if (text(new) == text(old) or appended) and (new[0] == old[0] or repaired):
        return []
    return ["the Path went from %s to %s" % (shown(old), shown(new))]


# What holds of any run; found: the Path as the run found it.
def invariants(run, got, found):
    backup = (run.path[0], "PATH_WAYFOLD_BACKUP")
    before = got["before"]
    after = got["values"]
    new = after.get(run.path)
    changed = {k for k in set(before) | set(after) if before.get(k) != after.get(k)}
    problems = ["%s %s changed" % k for k in sorted(changed - {run.path, backup})]
    problems += path_problems(run, found, new)
    if run.silent and got["out"]:
        problems.append("it printed with /S")
    if got["exit"] not in (0, 1, None):
        problems.append("exit %s" % got["exit"])
    kept = after.get(backup)
    old = before.get(run.path)
    if backup in changed and kept and (kept[0], text(kept)) != (REG_SZ, text(old)):
        problems.append("the backup holds %s" % shown(kept))
    listed = any(names_folder(run, entry) for entry in text(new).split(";"))
    if got["exit"] == 0 and run.folder and not (listed and run.folder in got["folders"]):
        problems.append("exit 0, but no entry of %s names the folder" % shown(new))
    if got["exit"] == 0 and run.repair_only and (not new or new[0] != REG_EXPAND_SZ):
        problems.append("exit 0 of /R alone, but the Path is %s" % shown(new))
    for made in got["made"]:
        if run.folder != made and not run.folder.startswith(made + "\\"):
            problems.append("%s is made" % made)
    return problems + log_problems(run, got)


# A run with one more of Windows' answers, against the plain run: exit 0
# only with the Path as the plain run leaves it, exit 1 never with it (but
# where another program changed the Path), and the same folders made.
def variant_problems(run, plain, got, fault):
    old = plain["before"].get(run.path)
    final = plain["values"].get(run.path)
    now = got["values"].get(run.path)
    found = old
    if fault.startswith("vanish"):
        found = None
    elif fault.startswith("retype") and old:
        found = (REG_SZ + REG_EXPAND_SZ - old[0], old[1])
    elif fault.startswith("grows") and old:
        grown = text(old) + "x" * int(fault.split()[1])
        found = (old[0], (grown + "\0").encode("utf-16-le"))
    problems = invariants(run, got, found)
    if found == old and got["exit"] == 0 and state(now) != state(final):
        problems.append("exit 0, but the Path is %s, not %s" % (shown(now), shown(final)))
    succeeded = state(old) != state(final) and state(now) == state(final)
    if found == old and got["exit"] == 1 and succeeded:
        problems.append("exit 1, but the Path is as a run that succeeded leaves it")
    if got["made"] != plain["made"]:
        problems.append("made %s, not %s" % (sorted(got["made"]), sorted(plain["made"])))
    return problems


# The test build's log: a folder made for all users as above, for one user
# as it inherits; the lock of the Path written named after it, opened by no
# one but SYSTEM, the administrators and, for a user's Path, that user; and
# every registry call between the lock taken and released, so that no other
# run writes in between (unless another run or user holds the name).
def log_problems(run, got):
    problems = []
    user = run.path[0] == "u"
    for word, _, rest in (line.partition(" ") for line in got["log"]):
        path, _, sddl = rest.rpartition(" ")
        if word == "folder" and sddl != ("-" if user else MACHINE_FOLDER):
            problems.append("%s is made with %s" % (path, sddl))
        sid = path.rpartition("-Path-")[2]
        name = "Global\\wayFOLD-Path-" + (sid if user else "Machine")
        trustees = {"SY", "BA", sid} if user else {"SY", "BA"}
        if word == "lock" and (path != name or set(re.findall(r";([\w-]+)\)", sddl)) != trustees):
            problems.append("the lock is %s %s" % (path, sddl))
    order = "".join(line[0] for line in got["log"])  # call, folder, lock, release
    outside = r"^[^l]*c|r.*c" + ("" if got["exit"] is None else "|l[^r]*$")
    if not any(f.startswith("lock") for f in got["plan"]) and re.search(outside, order):
        problems.append("a registry call outside the lock, or the lock kept: " + order)
    return problems

#!/usr/bin/env bash
# Start-up benchmark under Wine: times, in one run and alternating,
#   add    wayfold.exe C:\bench\outils /S   on a Path that it takes to 32,766 characters
#   usage  wayfold.exe /?                   (stdout to a pipe)
#   floor  startup_floor.exe                (same DLLs, one call into each)
# and prints the medians, the add/floor ratio (goal < 1.10) and the exe's size
# (goal < 200 KB). The Path is reset before each add, so each add really adds.
# Runs in a throwaway Wine prefix, with one wineserver kept up throughout so
# that each measure is a process start, not a Wine boot.
#   bash bench/wine-startup.sh [RUNS] [WARMUPS]      (default 15 and 2)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-15}
warmups=${2:-2}

bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target wayfold startup_floor >/dev/null

source scripts/wine-env.sh
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/wayfold-bench.XXXXXX")
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "Creating a Wine prefix in $WINEPREFIX..." >&2
"$WINE" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w
"$WINESERVER" -p    # persistent: stays up between the measured processes
bench="$WINEPREFIX/drive_c/bench"
mkdir -p "$bench"
cp build/windows/wayfold.exe build/windows/startup_floor.exe "$bench/"

python3 - "$WINE" "$bench" "$runs" "$warmups" <<'EOF'
import os, statistics, subprocess, sys, tempfile, time

wine, bench, runs, warmups = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
folder = r"C:\bench\outils"

# About 2,000 entries, a few of them %...% ones, and with the folder added
# 32,766 characters in all, the longest Path a process can be given;
# the folder to add is not among them (in any case).
entries = [r"%SystemRoot%\system32", "%SystemRoot%", r"%SystemRoot%\System32\Wbem"]
entries += [r"C:\Outils\a%04d" % i for i in range(len(entries), 2000)]
path = ";".join(entries)
path += ";" + "D:\\" + "x" * (32766 - len(path) - 4 - len(";" + folder + "\\"))
assert len(path + ";" + folder + "\\") == 32766 and folder.upper() not in path.upper()

def reg_file(name, text):
    """A REGEDIT4 file setting HKCU\\Environment\\Path to text, REG_EXPAND_SZ."""
    data = ",".join("%02x" % b for b in text.encode("cp1252") + b"\0")
    with open(os.path.join(bench, name), "w", newline="\r\n") as f:
        f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Environment]\n"Path"=hex(2):%s\n' % data)
    return "C:\\bench\\" + name

def wine_run(*args):
    """Runs one Wine process: (exit status, stdout bytes, ms). Output goes to
    files, not pipes: Wine's own background processes may inherit a pipe and
    keep it open long after the measured process has ended."""
    with tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        status = subprocess.call([wine, *args], stdin=subprocess.DEVNULL, stdout=out,
                                 stderr=subprocess.DEVNULL)
        ms = (time.perf_counter() - start) * 1000.0
        out.seek(0)
        return status, out.read(), ms

def read_path():
    """The Path value as regedit exports it: (type, text)."""
    wine_run("regedit", "/E", r"C:\bench\out.reg", r"HKEY_CURRENT_USER\Environment")
    with open(os.path.join(bench, "out.reg"), "rb") as f:
        lines = f.read().decode("utf-16").replace("\\\r\n", "").split("\r\n")
    for line in lines:
        for kind, prefix in (("REG_EXPAND_SZ", '"Path"=hex(2):'), ("REG_SZ", '"Path"="')):
            if line.startswith(prefix):
                if kind == "REG_SZ":
                    return kind, line[len(prefix):-1]
                raw = bytes.fromhex(line[len(prefix):].replace(",", "").replace(" ", ""))
                return kind, raw.decode("utf-16-le").rstrip("\0")
    return None, None

reset = reg_file("path.reg", path)
wine_run("regedit", "/S", reset)
if read_path() != ("REG_EXPAND_SZ", path):
    sys.exit("FAIL: the long Path could not be set up")

exe, floor = r"C:\bench\wayfold.exe", r"C:\bench\startup_floor.exe"
commands = {"add": (exe, folder, "/S"), "usage": (exe, "/?"), "floor": (floor,)}
expected = {"add": 0, "usage": 1, "floor": 0}
times = {name: [] for name in commands}
names = list(commands)
for round in range(warmups + runs):
    # Each round starts with another command, so none always runs first.
    for name in names[round % 3:] + names[:round % 3]:
        if name == "add":
            wine_run("regedit", "/S", reset)
        status, out, ms = wine_run(*commands[name])
        if status != expected[name]:
            sys.exit("FAIL: %s exited with %d" % (name, status))
        if name == "usage" and not out.startswith(b"WAYFOLD v1.0"):
            sys.exit("FAIL: usage printed %r" % out[:40])
        if name == "add":
            kind, text = read_path()
            if (kind, text.rstrip("\\")) != ("REG_EXPAND_SZ", path + ";" + folder):
                sys.exit("FAIL: add left Path as %s ending %r" % (kind, text and text[-40:]))
        if round >= warmups:
            times[name].append(ms)

med = {name: statistics.median(t) for name, t in times.items()}
print("Wine start-up benchmark: %d runs each after %d warm-ups (median, ms)" % (runs, warmups))
for name, label in (("add", "wayfold.exe %s /S" % folder), ("usage", "wayfold.exe /?"),
                    ("floor", "startup_floor.exe")):
    t = times[name]
    print("  %-32s %8.1f   (min %.1f, max %.1f)" % (label, med[name], min(t), max(t)))
ratio = med["add"] / med["floor"]
print("Ratio add / floor:   %.3f   (goal < 1.10: %s)" % (ratio, "met" if ratio < 1.10 else "MISSED"))
print("Ratio usage / floor: %.3f" % (med["usage"] / med["floor"]))
EOF

size=$(stat -c %s build/windows/wayfold.exe)
echo "wayfold.exe size:    $size bytes   (goal < 204800: $([ "$size" -lt 204800 ] && echo met || echo MISSED))"

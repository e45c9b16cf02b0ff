#!/usr/bin/env bash
# Builds the release ZIP, checks what it holds, unpacks it to a temp folder
# and runs the end-to-end tests against the unpacked wayfold.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target package >/dev/null
zip=build/windows/wayfold-1.0.0-win64.zip
top=wayfold-1.0.0-win64

fail() { echo "FAIL: $*"; exit 1; }
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
expected="$top/LISEZMOI.txt $top/README.txt $top/wayfold.exe "
[ "$listed" = "$expected" ] || fail "the package holds '$listed', not '$expected'"
for note in LISEZMOI.txt README.txt; do
  # Windows-1252 with CR LF: no line end without its CR, no UTF-8 sequence.
  unzip -p "$zip" "$top/$note" | LC_ALL=C grep -qv $'\r$' && fail "$note has a line end without CR"
  unzip -p "$zip" "$top/$note" | LC_ALL=C grep -q $'\xC3[\x80-\xBF]' && fail "$note is UTF-8"
done
unzip -p "$zip" "$top/LISEZMOI.txt" | LC_ALL=C grep -q $'r\xE9pare' || fail "LISEZMOI.txt lacks its accents"

# The tests must take the exe from WAYFOLD_EXE; a test given the exe some
# other way would quietly test the build's exe instead.
ctest --preset windows --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    if any(arg.lower().endswith("wayfold.exe") for arg in test.get("command", [])):
        sys.exit("FAIL: %s is given the exe on its command line" % test["name"])
    for prop in test.get("properties", []):
        if prop["name"] == "ENVIRONMENT" and any(v.startswith("WAYFOLD_EXE=") for v in prop["value"]):
            sys.exit("FAIL: %s sets WAYFOLD_EXE itself" % test["name"])'

unpacked=$(mktemp -d "${TMPDIR:-/tmp}/wayfold-package.XXXXXX")
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
cmp -s "$unpacked/$top/wayfold.exe" build/windows/wayfold.exe || fail "the packaged exe is not the one built"
bash scripts/check-exe.sh "$unpacked/$top/wayfold.exe"
WAYFOLD_EXE="$unpacked/$top/wayfold.exe" ctest --preset windows --no-tests=error

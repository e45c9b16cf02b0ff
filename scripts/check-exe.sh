#!/usr/bin/env bash
# Checks that the built exe runs on a clean Windows: it imports only system
# DLLs, and it stays small.
set -euo pipefail
exe=$1
limit=$((200 * 1024))
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:lower:]' '[:upper:]' | sort -u)
bad=$(echo "$dlls" | grep -v -x -E 'KERNEL32\.DLL|ADVAPI32\.DLL|USER32\.DLL|MSVCRT\.DLL' || true)
size=$(stat -c %s "$exe")
echo "$exe: $size bytes; imports: $(echo $dlls)"
if [ -n "$bad" ]; then echo "FAIL: imports a non-system DLL: $bad"; exit 1; fi
if [ "$size" -ge "$limit" ]; then echo "FAIL: larger than $limit bytes"; exit 1; fi
# The registry locations are stored scrambled: neither may be read in plain
# text in the program or its sources.
for plain in Environment CurrentControlSet "Session Manager"; do
  if grep -rl "$plain" src "$exe"; then echo "FAIL: '$plain' in plain text"; exit 1; fi
done
# The test build's plans are read from WAYFOLD_ variables; the program reads
# none, in either kind of text.
if LC_ALL=C grep -qaP 'WAYFOLD_|W\x00A\x00Y\x00F\x00O\x00L\x00D\x00_' "$exe"; then
  echo "FAIL: the test build's WAYFOLD_ in $exe"; exit 1
fi

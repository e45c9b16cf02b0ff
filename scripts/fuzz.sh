#!/usr/bin/env bash
# Builds the whole-run fuzzer and runs it for a bounded time (FUZZ_SECONDS,
# default 15) on seeds made from the transcripts, one run each. Exits
# non-zero on a finding; the input that caused it is left in
# build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/seeds" build/fuzz/findings
# Each run of each transcript without a fault, behind two zero bytes: none
# injected.
python3 tests/transcript.py "$work/plain"
python3 - "$work/plain" "$work/seeds" <<'PY'
import sys
for n, run in enumerate(open(sys.argv[1], "rb").read().split(b"\n\n")[:-1]):
    if b"\nrefuse " not in run and b"\ndies " not in run:
        open("%s/%04d" % (sys.argv[2], n), "wb").write(b"\0\0" + run + b"\n")
PY
if build/fuzz/fuzz_whole_run "$work/seeds" -max_total_time="$seconds" -rss_limit_mb=2048 \
     -timeout=10 -artifact_prefix=build/fuzz/findings/ >"$work/log" 2>&1; then
  echo "fuzz_whole_run: $(grep -E '^Done [0-9]+ runs' "$work/log"), no finding"
else
  echo "fuzz_whole_run: FINDING"
  tail -n 40 "$work/log"
  exit 1
fi

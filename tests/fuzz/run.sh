#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one for a bounded time on a copy
# of its seed corpus (so the committed corpus does not grow). Exits non-zero
# on any finding; the input that caused it is left in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_SECONDS:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=build/fuzz/findings
mkdir -p "$findings"
status=0
for target in command_line path_text path_list whole_run; do
  cp -r "tests/fuzz/corpus/$target" "$work/$target"
  if build/fuzz/tests/fuzz/fuzz_$target "$work/$target" -max_total_time="$seconds" \
       -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$findings/$target-" \
       >"$work/$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^Done [0-9]+ runs' "$work/$target.log"), no finding"
  else
    echo "fuzz_$target: FINDING"
    tail -n 40 "$work/$target.log"
    status=1
  fi
done
exit $status

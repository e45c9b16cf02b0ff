#!/usr/bin/env bash
# The whole test run: the format, wayfold.exe and its test build, then the
# end-to-end tests under Wine (from the unpacked release package). Exits
# non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/deps.sh

echo "== Format (clang-format, black)"
bash scripts/check-format.sh

echo "== wayfold.exe and its test build"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
bash scripts/check-exe.sh build/windows/wayfold.exe

echo "== Release package, and the end-to-end tests (Wine) run from it unpacked"
bash scripts/test-package.sh

#!/usr/bin/env bash
# The whole test run: native unit tests with sanitizers, then wayfold.exe
# end to end under Wine. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/deps.sh

echo "== Unit tests (native, ASan + UBSan)"
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"

echo "== wayfold.exe"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
bash scripts/check-exe.sh build/windows/wayfold.exe

echo "== End-to-end tests (Wine)"
ctest --preset windows

if [ -f tests/fuzz/run.sh ]; then
  echo "== Fuzzing"
  bash tests/fuzz/run.sh
fi

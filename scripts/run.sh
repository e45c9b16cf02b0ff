#!/usr/bin/env bash
# Builds wayfold.exe if needed and runs it under Wine with the given
# arguments, in the project's own Wine prefix (build/wine-prefix).
#   scripts/run.sh C:\\outils /S
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh
[ -f build/windows/CMakeCache.txt ] || cmake --preset windows >/dev/null
cmake --build --preset windows >/dev/null

source scripts/wine-env.sh
export WINEPREFIX="$root/build/wine-prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX (once)..." >&2
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "$WINESERVER" -w
fi
set +e
"$WINE" build/windows/wayfold.exe "$@"
status=$?
"$WINESERVER" -w
exit $status

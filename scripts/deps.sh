#!/usr/bin/env bash
# Installs the Debian packages that building and testing wayFOLD needs, if
# any is missing. Safe to run again; needs root (or sudo) only to install.
set -euo pipefail

packages=(
  cmake make g++ python3
  libbenchmark-dev                           # benchmarks (native)
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64   # wayfold.exe
  wine64 locales                             # running it here, in French and Japanese
  clang-format black                         # the one format, checked
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its code pages from LC_ALL=fr_FR.UTF-8 (1252 and 850) whether or
# not the machine has that locale, but without it Wine cannot name files
# outside ASCII, such as C:\café.
if ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf-\?8$'; then
  echo "Generating the locale fr_FR.UTF-8"
  $sudo localedef -i fr_FR -f UTF-8 fr_FR.UTF-8
fi

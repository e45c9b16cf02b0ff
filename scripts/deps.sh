#!/usr/bin/env bash
# Installs the Debian packages that building and testing wayFOLD needs, if
# any is missing. Safe to run again; needs root (or sudo) only to install.
set -euo pipefail

packages=(
  cmake make g++ python3
  libgtest-dev libbenchmark-dev              # unit tests, benchmarks
  clang libclang-rt-14-dev                   # fuzzers (libFuzzer, sanitizers)
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64   # wayfold.exe
  wine64                                     # running it here
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

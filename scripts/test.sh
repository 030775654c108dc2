#!/usr/bin/env bash
# Installs what is missing and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== native test suite"
cmake --preset native
cmake --build --preset native
ctest --preset native

echo "== the shipped DLLs run through our PE loader"
# The PE32 file under qemu in a 32-bit static test program, its PE32+ twin
# natively; the mingw32 and mingw64 presets build the two DLLs.
if cmake --list-presets | grep -q '"mingw32"'; then
  for bits in 32 64; do
    cmake --preset mingw$bits
    cmake --build --preset mingw$bits
    cmake --preset peload$bits
    cmake --build --preset peload$bits
    ctest --preset peload$bits
  done
else
  echo "skipped: no mingw32 and mingw64 presets to build the DLLs with"
fi

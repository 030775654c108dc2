#!/usr/bin/env bash
# Installs what is missing and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== native test suite"
cmake --preset native
cmake --build --preset native
ctest --preset native

echo "== the Windows libraries: voltrima.dll (PE32) and its PE32+ twin, and the checks of their files"
for preset in mingw32 mingw64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

echo "== the test suite on 32-bit x86 Linux, under qemu"
cmake --preset i386
cmake --build --preset i386
ctest --preset i386

echo "== the shipped DLLs run through our PE loader"
# The PE32 file under qemu in a 32-bit static test program, its PE32+ twin
# natively; the mingw32 and mingw64 steps above built the two DLLs.
for bits in 32 64; do
  cmake --preset peload$bits
  cmake --build --preset peload$bits
  ctest --preset peload$bits
done

echo "== test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize

echo "== concurrency test under ThreadSanitizer"
cmake --preset thread
cmake --build --preset thread
ctest --preset thread

echo "== smoke fuzz (60 seconds)"
bash scripts/fuzz.sh 60

echo "== benchmark smoke run (no timing is checked)"
build/native/bench/voltrima_bench --benchmark_min_time=0.001 >/dev/null
build/native/bench/voltrima_stack_depth >/dev/null

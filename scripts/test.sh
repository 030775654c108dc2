#!/usr/bin/env bash
# Installs what is missing and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== native test suite"
cmake --preset native
cmake --build --preset native
ctest --preset native

echo "== benchmark smoke run (no timing is checked)"
build/native/bench/voltrima_bench --benchmark_min_time=0.001 >/dev/null
build/native/bench/voltrima_stack_depth >/dev/null

#!/usr/bin/env bash
# Installs what is missing and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== native test suite"
cmake --preset native
cmake --build --preset native
ctest --preset native

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

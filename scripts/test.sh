#!/usr/bin/env bash
# Installs what is missing and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

echo "== native test suite"
cmake --preset native
cmake --build --preset native
ctest --preset native

#!/usr/bin/env bash
# Installs what is missing, builds everything, and shows a scan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native
cmake --build --preset native

echo
echo "Built:"
echo "  build/native/libvoltrima.so   shared library (exports DllSscanf only)"
echo "  build/native/libvoltrima.a    static library"
echo
echo "A scan:"
build/native/examples/scan_line

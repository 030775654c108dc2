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
echo "  build/native/tools/vscan/vscan tries a format on real text (vscan --help)"
echo
echo "A scan:"
build/native/examples/scan_line

echo
echo "The same line through vscan:"
build/native/tools/vscan/vscan '%15s %d %lf %15s' 'move 12 -3.5 north'

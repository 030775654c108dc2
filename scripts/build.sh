#!/usr/bin/env bash
# Installs what is missing, builds everything, and shows a scan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native
cmake --build --preset native

cmake --preset mingw32
cmake --build --preset mingw32

echo
echo "Built:"
echo "  build/mingw32/voltrima.dll        the Windows library (PE32, i386; exports DllSscanf only;" \
     "$(stat -c %s build/mingw32/voltrima.dll) bytes)"
echo "  build/mingw32/libvoltrima.dll.a   its import library, for linking with mingw"
echo "  src/entry/voltrima.def            its module-definition file"
echo "  build/native/libvoltrima.so   shared library (exports DllSscanf only)"
echo "  build/native/libvoltrima.a    static library"
echo "  build/native/tools/vscan/vscan tries a format on real text (vscan --help)"
echo
echo "A scan:"
build/native/examples/scan_line

echo
echo "The same line through vscan:"
build/native/tools/vscan/vscan '%15s %d %lf %15s' 'move 12 -3.5 north'

#!/usr/bin/env bash
# Line and branch coverage of the scanner reached by the fuzz corpus: builds
# the fuzz target with source-based coverage (no sanitizers) in
# build/coverage, runs every case of build/fuzz/corpus and fuzz/corpus once,
# and prints the report for src/.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/coverage -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link -fprofile-instr-generate -fcoverage-mapping" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -fprofile-instr-generate -fcoverage-mapping" \
  -DVOLTRIMA_TESTS=OFF -DVOLTRIMA_FUZZ=ON >/dev/null
cmake --build build/coverage --target voltrima_fuzz

mkdir -p build/fuzz/corpus
rm -f build/coverage/*.profraw
LLVM_PROFILE_FILE=build/coverage/fuzz-%p.profraw \
  build/coverage/fuzz/voltrima_fuzz -runs=0 build/fuzz/corpus fuzz/corpus 2>/dev/null
llvm-profdata-14 merge -sparse build/coverage/*.profraw -o build/coverage/fuzz.profdata
llvm-cov-14 report build/coverage/fuzz/voltrima_fuzz \
  -instr-profile=build/coverage/fuzz.profdata src/

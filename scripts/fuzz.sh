#!/usr/bin/env bash
# Builds the fuzz target and fuzzes the scanner for a given time, in one job.
#
#   bash scripts/fuzz.sh [seconds] [libFuzzer options...]
#
# Default: 60 seconds. The working corpus grows in build/fuzz/corpus (seeded
# from fuzz/corpus on every run); a crashing case is written to
# build/fuzz/artifacts/ and the run stops with a non-zero status. Replay one
# with: build/fuzz/fuzz/voltrima_fuzz build/fuzz/artifacts/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/corpus build/fuzz/artifacts
build/fuzz/fuzz/voltrima_fuzz \
  -max_total_time="$seconds" \
  -dict=fuzz/format.dict \
  -artifact_prefix=build/fuzz/artifacts/ \
  -print_final_stats=1 \
  "$@" \
  build/fuzz/corpus fuzz/corpus

#!/usr/bin/env bash
# Builds the benchmark, runs it with repetitions, and prints the report's
# table (medians). Extra arguments go to the benchmark, e.g.
#   bash scripts/bench.sh --benchmark_filter=int/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset native
cmake --build --preset native --target voltrima_bench voltrima_stack_depth

out=build/native/bench/results.json
build/native/bench/voltrima_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_out="$out" --benchmark_out_format=json "$@"
echo
python3 bench/report.py "$out"
echo
build/native/bench/voltrima_stack_depth

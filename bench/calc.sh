#!/usr/bin/env bash
# Times the expression engine: compiling and evaluating a typical template condition
# ("ID" == "ID" && 3 > 2) must stay under 20 microseconds. Runs the Google Benchmark program
# calc_bench of a build directory (built only where libbenchmark-dev is installed; use a
# Release or RelWithDebInfo build for figures worth quoting).
#
#     bash bench/calc.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:-build}" && pwd)
BENCH="$BUILD/bench/calc_bench"
if [[ ! -x "$BENCH" ]]; then
    echo "calc bench: $BENCH not found (is libbenchmark-dev installed?)" >&2
    exit 1
fi
"$BENCH" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

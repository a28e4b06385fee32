#!/usr/bin/env bash
# Runs the benchmarks of bench/ against the programs of one build directory.
#     bash bench/run.sh BUILD_DIR
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${1:-build}
bash "$HERE/lineutils.sh" "$BUILD"
bash "$HERE/tabstrap.sh" "$BUILD"
bash "$HERE/datafile.sh" "$BUILD"
bash "$HERE/datafile_cli.sh" "$BUILD"
bash "$HERE/datadic.sh" "$BUILD"
bash "$HERE/calc.sh" "$BUILD"
bash "$HERE/sqlite_load.sh" "$BUILD"
bash "$HERE/scaling.sh" "$BUILD"
bash "$HERE/pg_load.sh" "$BUILD"
bash "$HERE/pipes.sh" "$BUILD"
bash "$HERE/detect.sh" "$BUILD"
bash "$HERE/encoding.sh" "$BUILD"
bash "$HERE/mssql.sh" "$BUILD"
bash "$HERE/template.sh" "$BUILD"
bash "$HERE/editor.sh" "$BUILD"
bash "$HERE/query_tool.sh" "$BUILD"

#!/usr/bin/env bash
# The main job on the bundled example: break the example's lines at 40 characters, then
# number the lines of the result.
set -euo pipefail
BUILD=${1:-build}
OUT=${DEMO_OUT:-$BUILD/demo}
mkdir -p "$OUT"
"$BUILD/lineutils/lintrim" 40 examples/clients.txt "$OUT/clients_40.txt"
echo
"$BUILD/lineutils/linenum" "$OUT/clients_40.txt" "$OUT/clients_40_numbered.txt"
echo
echo "--- $OUT/clients_40_numbered.txt"
cat "$OUT/clients_40_numbered.txt"

#!/usr/bin/env bash
# The main job on the bundled example: cut the one-line export into its 59-character records, then
# number the lines of the result.
set -euo pipefail
BUILD=${1:-build}
OUT=${DEMO_OUT:-$BUILD/demo}
mkdir -p "$OUT"
"$BUILD/lineutils/lintrim" 59 examples/clients.txt "$OUT/clients.txt"
echo
"$BUILD/lineutils/linenum" "$OUT/clients.txt" "$OUT/clients_numbered.txt"
echo
echo "--- $OUT/clients_numbered.txt"
cat "$OUT/clients_numbered.txt"

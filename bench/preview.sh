#!/usr/bin/env bash
# The wizard's preview on a 1 GB example file (bench/gen_delimited.py's file repeated): the time
# each option change takes to cut the file's first rows again (goal at most 50 ms, aim 16 ms),
# beside Miller reading the same first 50 rows from the file's first 256 KiB
# (`head -c 262144 FILE | mlr --icsv --ifs ';' --allow-ragged-csv-input head -n 50`), measured in the same run.
#
#     bash bench/preview.sh BUILD_DIR      (a build with bench/preview_bench)
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
OUT="$HERE/out"
BENCH="$BUILD/bench/preview_bench"
export QT_QPA_PLATFORM=offscreen

bench_require preview hyperfine python3 mlr "$BENCH"
mkdir -p "$OUT"
PART="$OUT/preview_part.csv"
BIG="$OUT/preview_1g.csv"
if [ ! -s "$BIG" ]; then
    echo "Generating $BIG ..." >&2
    [ -s "$PART" ] || python3 "$HERE/gen_delimited.py" 1000000 "$PART"
    rm -f "$BIG.part"
    while [ "$(stat -c %s "$BIG.part" 2>/dev/null || echo 0)" -lt 1073741824 ]; do
        cat "$PART" >> "$BIG.part"
    done
    mv "$BIG.part" "$BIG"
fi
echo "Input: $BIG ($(stat -c %s "$BIG") bytes)"
sync
"$BENCH" "$BIG" 300 | tee "$OUT/preview.txt"
hyperfine --warmup 3 --runs 30 --export-json "$OUT/preview.json" \
    -n miller-first-50 "head -c 262144 '$BIG' | mlr --icsv --ifs ';' --allow-ragged-csv-input head -n 50 > /dev/null"
python3 - "$OUT/preview.json" "$OUT/preview.txt" <<'PY'
import json, re, sys
peer = json.load(open(sys.argv[1]))["results"][0]
text = open(sys.argv[2]).read()
mean = float(re.search(r"mean ([0-9.]+) ms", text).group(1))
worst = float(re.search(r"max ([0-9.]+) ms", text).group(1))
print(f"\nSummary: preview refresh mean {mean:.2f} ms, max {worst:.2f} ms; Miller on the first "
      f"50 rows {peer['mean'] * 1000:.2f} ms (ratio {mean / (peer['mean'] * 1000):.2f})")
PY

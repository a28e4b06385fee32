#!/usr/bin/env bash
# The description editor on the generated 1 000 000-row delimited file (bench/gen_delimited.py
# through bench/delimited.fyk): the split-file view's first rows (goal under 100 ms) and whole
# load (goal under 1.5 s), the result preview's refresh after a column edit (goal under 20 ms),
# and the program's peak RSS (goal under 200 MB). The whole load is also compared, in the same
# hyperfine run, with `morvexcli preview --rows 0 --csv` reading and writing every row of the
# same file.
#
#     bash bench/editor.sh BUILD_DIR      (a Release build with bench/editor_bench and morvexcli)
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${EDITOR_BENCH_ROWS:-1000000}
RUNS=${EDITOR_BENCH_RUNS:-3}
OUT="$HERE/out"
BENCH="$BUILD/bench/editor_bench"
CLI="$BUILD/cli/morvexcli"
export QT_QPA_PLATFORM=offscreen

bench_require editor hyperfine python3 "$BENCH" "$CLI" /usr/bin/time
INPUT=$(bench_input "$OUT" "$ROWS")
echo "Input: $INPUT ($(stat -c %s "$INPUT") bytes, $ROWS rows)"

/usr/bin/time -v "$BENCH" "$HERE/delimited.fyk" "$INPUT" > "$OUT/editor.txt" 2> "$OUT/editor.time"
cat "$OUT/editor.txt"
grep -q "rows=$ROWS\$" "$OUT/editor.txt" || { echo "editor bench: row count" >&2; exit 1; }
echo "Peak RSS (time -v): $(awk -F': ' '/Maximum resident/ {print $2}' "$OUT/editor.time") kB"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/editor.json" \
    -n editor "'$BENCH' '$HERE/delimited.fyk' '$INPUT' 1" \
    -n preview-csv "'$CLI' preview '$HERE/delimited.fyk' --data '$INPUT' --rows 0 --csv > /dev/null"
python3 - "$OUT/editor.json" <<'PY'
import json, sys
ours, peer = json.load(open(sys.argv[1]))["results"]
print(f"\nSummary: editor (split view load + 1 refresh) {ours['mean']:.3f} s, "
      f"morvexcli preview --csv {peer['mean']:.3f} s, ratio {ours['mean'] / peer['mean']:.2f}")
PY

#!/usr/bin/env bash
# Times the data file reader on the generated delimited file (bench/gen_delimited.py, read
# through bench/delimited.fyk: 7 columns, quoted texts, CR LF, a header line) against mawk
# counting the same file's ";"-separated fields (no quote handling), with hyperfine, and
# checks the reader's peak memory with /usr/bin/time -v.
#
#     bash bench/datafile.sh BUILD_DIR      (a Release build with bench/datafile_bench)
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000, about 130 MB) sets the rows generated;
# DATAFILE_BENCH_RUNS (default 3) the timed runs per command. The input stays in bench/out/
# (git-ignored) for reuse.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${DATAFILE_BENCH_RUNS:-3}
OUT="$HERE/out"
BENCH="$BUILD/bench/datafile_bench"
AWK=$(command -v mawk || command -v awk)

bench_require datafile hyperfine python3 "$AWK" "$BENCH" /usr/bin/time
INPUT=$(bench_input "$OUT" "$ROWS")
echo "Input: $INPUT ($(stat -c %s "$INPUT") bytes, $ROWS rows)"

# Correctness and memory: every row gives 7 values; peak RSS below 64 MB.
/usr/bin/time -v "$BENCH" "$HERE/delimited.fyk" "$INPUT" > "$OUT/datafile.txt" 2> "$OUT/datafile.time"
cat "$OUT/datafile.txt"
grep -q "rows=$ROWS values=$((ROWS * 7)) " "$OUT/datafile.txt" ||
    { echo "datafile bench: unexpected row or value count" >&2; exit 1; }
rss=$(awk -F': ' '/Maximum resident/ {print $2}' "$OUT/datafile.time")
echo "Peak RSS: $rss kB"
[ "$rss" -lt 65536 ] || { echo "datafile bench: peak RSS over 64 MB" >&2; exit 1; }

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/datafile.json" \
    -n reader "'$BENCH' '$HERE/delimited.fyk' '$INPUT'" \
    -n awk "'$AWK' -F';' '{n += NF} END {print n}' '$INPUT'"

python3 - "$OUT/datafile.json" "$ROWS" <<'PY'
import json, sys
ours, theirs = json.load(open(sys.argv[1]))["results"]
rows = int(sys.argv[2])
print("\nSummary (mean wall time of the same run):")
print(f"  reader {ours['mean']:7.3f} s +- {ours['stddev']:.3f} ({rows / ours['mean']:,.0f} rows/s)   "
      f"awk {theirs['mean']:7.3f} s +- {theirs['stddev']:.3f}   "
      f"reader is {theirs['mean'] / ours['mean']:.2f} times as fast as awk")
PY

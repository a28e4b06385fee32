#!/usr/bin/env bash
# The SQLite query tool on `SELECT * FROM t` over a 1 000 000-row table made by the sqlite3
# shell: time to the first rows painted (goal 16 ms), time to the whole result (goal at most
# 1.0x, aim 0.7x, the shell's `sqlite3 -csv DB 'SELECT * FROM t' > /dev/null`, measured in the
# same hyperfine run), the longest time the window did not answer, the result's memory (goal at
# most 1.3x, aim 1.0x, the size of the rows' text, which is what the shell writes: the peak RSS
# above that of the shown, empty window, whose Qt libraries alone hold about 40 MB), and the
# sort of the whole result by its text column `name` (goal 1.5 s, aim 0.5 s; the shell's
# `ORDER BY name` beside it). Each figure over QUERY_BENCH_RUNS runs (3), min and median.
#
#     bash bench/query_tool.sh BUILD_DIR      (a build with bench/query_bench)
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${QUERY_BENCH_ROWS:-1000000}
RUNS=${QUERY_BENCH_RUNS:-3}
OUT="$HERE/out"
BENCH="$BUILD/bench/query_bench"
export QT_QPA_PLATFORM=offscreen

bench_require query hyperfine python3 sqlite3 "$BENCH" /usr/bin/time
mkdir -p "$OUT"
DB="$OUT/query_${ROWS}.db"
if [ ! -s "$DB" ]; then
    echo "Generating $DB ..." >&2
    rm -f "$DB.part"
    sqlite3 "$DB.part" "CREATE TABLE t(id INTEGER, code TEXT, name TEXT, city TEXT, amount REAL, \
day TEXT, note TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
INSERT INTO t SELECT i, printf('C%08d', i), 'Nom ' || (i % 9973), \
CASE i % 4 WHEN 0 THEN 'Paris' WHEN 1 THEN 'Lyon' WHEN 2 THEN 'Nantes' ELSE NULL END, \
(i % 100000) / 100.0, date('2020-01-01', '+' || (i % 1500) || ' days'), \
CASE WHEN i % 10 = 0 THEN 'a; b' ELSE '' END FROM n;"
    mv "$DB.part" "$DB"
fi
TEXT=$(sqlite3 "$DB" 'SELECT * FROM t' | wc -c)
echo "Input: $DB ($(stat -c %s "$DB") bytes, $ROWS rows, $TEXT bytes of row text)"

# The figures of the window itself, RUNS times: first rows, the result's memory (the peak before
# the sort above the peak of the shown window before the run, against the rows' text; the
# process's whole peak is printed beside it) and the sort by `name`.
for i in $(seq 1 "$RUNS"); do
    /usr/bin/time -v "$BENCH" "$DB" "SELECT * FROM t" 2 > "$OUT/query.$i.txt" 2> "$OUT/query.$i.time"
    grep -q "rows=$ROWS\$" "$OUT/query.$i.txt" || { echo "query bench: row count" >&2; exit 1; }
done
cat "$OUT/query.1.txt"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/query.json" \
    -n query-tool "'$BENCH' '$DB'" \
    -n sqlite3-csv "sqlite3 -csv '$DB' 'SELECT * FROM t' > /dev/null" \
    -n sqlite3-csv-order-by-name "sqlite3 -csv '$DB' 'SELECT * FROM t ORDER BY name' > /dev/null"
python3 - "$OUT" "$RUNS" "$TEXT" <<'PY'
import json, re, statistics, sys
out, runs, text = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
ours, peer, ordered = json.load(open(f"{out}/query.json"))["results"]
first, sort, memory, whole = [], [], [], []
for i in range(1, runs + 1):
    t = open(f"{out}/query.{i}.txt").read()
    first.append(float(re.search(r"first rows ([0-9.]+) ms", t).group(1)))
    sort.append(float(re.search(r"sort: ([0-9.]+) ms", t).group(1)) / 1000)
    base = int(re.search(r"peak RSS before the run: ([0-9]+) kB", t).group(1))
    peak = int(re.search(r"peak RSS before the sort: ([0-9]+) kB", t).group(1))
    memory.append((peak - base) * 1024 / text)
    rss = int(re.search(r"Maximum resident set size \(kbytes\): ([0-9]+)",
                        open(f"{out}/query.{i}.time").read()).group(1))
    whole.append(rss * 1024 / text)
def mm(values, fmt):
    return f"min {fmt.format(min(values))}, median {fmt.format(statistics.median(values))}"
ratios = sorted(a / b for a, b in zip(sorted(ours["times"]), sorted(peer["times"])))
print(f"\nSummary ({runs} runs, {text} bytes of row text):")
print(f"  whole result vs sqlite3 -csv (must <= 1.0, aim <= 0.7): ratio of means "
      f"{ours['mean'] / peer['mean']:.2f}, of medians "
      f"{statistics.median(ours['times']) / statistics.median(peer['times']):.2f}, "
      f"of minimums {min(ours['times']) / min(peer['times']):.2f} "
      f"(query tool {ours['mean']:.3f} s, sqlite3 -csv {peer['mean']:.3f} s)")
print(f"  result memory / row text (must <= 1.3, aim <= 1.0): {mm(memory, '{:.2f}')}"
      f"   (whole process's peak with the sort: {mm(whole, '{:.2f}')})")
print(f"  first rows (must <= 16 ms): {mm(first, '{:.1f} ms')}")
print(f"  sort by name (must <= 1.5 s, aim <= 0.5 s): {mm(sort, '{:.3f} s')}; the shell's whole "
      f"ORDER BY name run {ordered['mean']:.3f} s")
PY

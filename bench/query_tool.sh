#!/usr/bin/env bash
# The SQLite query tool on `SELECT * FROM t` over a 1 000 000-row table made by the sqlite3
# shell: time to the first rows painted (goal 16 ms), time to the whole result (goal at most
# 1.0x, aim 0.7x, the shell's `sqlite3 -csv DB 'SELECT * FROM t' > /dev/null`, measured in the
# same hyperfine run), the longest time the window did not answer, the peak RSS (goal at most
# 1.3x the size of the rows' text, which is what the shell writes), and the sort of the whole
# result by its text column `name` (goal 1.5 s, aim 0.5 s; the shell's `ORDER BY name` beside
# it).
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

/usr/bin/time -v "$BENCH" "$DB" "SELECT * FROM t" 2 > "$OUT/query.txt" 2> "$OUT/query.time"
cat "$OUT/query.txt"
grep -q "rows=$ROWS\$" "$OUT/query.txt" || { echo "query bench: row count" >&2; exit 1; }
RSS=$(awk -F': ' '/Maximum resident/ {print $2}' "$OUT/query.time")
echo "Peak RSS (time -v): $RSS kB, $(python3 -c "print(f'{$RSS * 1024 / $TEXT:.2f}')") x the row text"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/query.json" \
    -n query-tool "'$BENCH' '$DB'" \
    -n sqlite3-csv "sqlite3 -csv '$DB' 'SELECT * FROM t' > /dev/null" \
    -n sqlite3-csv-order-by-name "sqlite3 -csv '$DB' 'SELECT * FROM t ORDER BY name' > /dev/null"
python3 - "$OUT/query.json" "$OUT/query.txt" <<'PY'
import json, re, sys
ours, peer, ordered = json.load(open(sys.argv[1]))["results"]
text = open(sys.argv[2]).read()
print(f"\nSummary: query tool {ours['mean']:.3f} s, sqlite3 -csv {peer['mean']:.3f} s, "
      f"ratio {ours['mean'] / peer['mean']:.2f}")
sort = re.search(r"sort: ([0-9.]+) ms", text)
if sort:
    ms = float(sort.group(1))
    print(f"Sort by name: query tool {ms / 1000:.3f} s; the shell's whole ORDER BY name run "
          f"{ordered['mean']:.3f} s (ratio {ms / 1000 / ordered['mean']:.2f})")
PY

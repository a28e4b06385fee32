#!/usr/bin/env bash
# Times tabstrap exporting a 1 000 000-row SQLite table through the SQLite ODBC driver against
# the sqlite3 shell writing the same rows as INSERT statements, with hyperfine:
#     tabstrap (answers on standard input)   against   sqlite3 DB '.mode insert t' 'select * from t'
# Both discard their text (/dev/null), so that the same work is compared; tabstrap is also
# timed once more writing a real script file, for information.
#
#     bash bench/tabstrap.sh BUILD_DIR
#
# Environment: TABSTRAP_BENCH_ROWS (default 1000000) rows in the table; TABSTRAP_BENCH_RUNS
# (default 3) timed runs per command. The database stays in bench/out/ (git-ignored) for reuse.
# Needs hyperfine, sqlite3, python3 and the SQLite ODBC driver (libsqliteodbc).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${TABSTRAP_BENCH_ROWS:-1000000}
RUNS=${TABSTRAP_BENCH_RUNS:-3}
OUT="$HERE/out"
TABSTRAP="$BUILD/tabstrap/tabstrap"
DRIVER=${TABSTRAP_ODBC_DRIVER:-$(ls /usr/lib/*/odbc/libsqlite3odbc.so 2>/dev/null | head -n 1)}

bench_require tabstrap hyperfine sqlite3 python3 "$TABSTRAP"
[ -n "$DRIVER" ] && [ -r "$DRIVER" ] || { echo "tabstrap bench: SQLite ODBC driver not found" >&2; exit 1; }
mkdir -p "$OUT"
DB="$OUT/tabstrap_${ROWS}.db"

# Table: integer key, names with quotes, amounts, timestamps and notes. Made once, reused.
if [ ! -s "$DB" ]; then
    echo "Generating $DB ..."
    rm -f "$DB.part"
    sqlite3 "$DB.part" "CREATE TABLE t (id integer PRIMARY KEY, nom varchar(40), montant real,
            cree timestamp, note varchar(200));
        WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < $ROWS)
        INSERT INTO t SELECT i, 'Client ' || i || ' l''ami', i * 1.25,
            datetime(1400000000 + i * 60, 'unixepoch'), 'note ' || hex(randomblob(20)) FROM c;"
    mv "$DB.part" "$DB"
fi

# A private ODBC registration of the driver and of the database.
export ODBCSYSINI="$OUT/odbc"
export ODBCINI="$OUT/odbc/odbc.ini"
mkdir -p "$ODBCSYSINI"
printf '[SQLite3]\nDriver=%s\n' "$DRIVER" > "$ODBCSYSINI/odbcinst.ini"
printf '[tabstrap_bench]\nDriver=SQLite3\nDatabase=%s\n' "$DB" > "$ODBCINI"
printf 'tabstrap_bench\nu\np\n/dev/null\nbase..t\nselect * from t\n\n' > "$OUT/tabstrap_null.txt"
printf 'tabstrap_bench\nu\np\n%s\nbase..t\nselect * from t\n\n' "$OUT/tabstrap.sql" \
    > "$OUT/tabstrap_file.txt"

# Check once that every row comes out.
"$TABSTRAP" < "$OUT/tabstrap_file.txt" > /dev/null
written=$(grep -c '^VALUES (' "$OUT/tabstrap.sql")
[ "$written" -eq "$ROWS" ] || { echo "tabstrap wrote $written statements, not $ROWS" >&2; exit 1; }
echo "Database: $DB ($ROWS rows); script: $(stat -c %s "$OUT/tabstrap.sql") bytes; $RUNS runs after 1 warm-up"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/tabstrap.json" \
    -n tabstrap "'$TABSTRAP' < '$OUT/tabstrap_null.txt' > /dev/null" \
    -n sqlite3 "sqlite3 '$DB' '.mode insert t' 'select * from t' > /dev/null" \
    -n "tabstrap (file)" "'$TABSTRAP' < '$OUT/tabstrap_file.txt' > /dev/null"
rm -f "$OUT/tabstrap.sql"

python3 - "$OUT/tabstrap.json" <<'PY'
import json, sys
ours, theirs, to_file = json.load(open(sys.argv[1]))["results"]
def cpu(r): return r["user"] + r["system"]
ratio = ours["mean"] / theirs["mean"]
print("\nSummary (mean of the same run):")
for r in (ours, theirs, to_file):
    print(f"  {r['command']:16s} wall {r['mean']:7.3f} s +- {r['stddev']:.3f}   cpu {cpu(r):7.3f} s")
print(f"  tabstrap / sqlite3: wall {ratio:.2f}, cpu {cpu(ours) / cpu(theirs):.2f}"
      f"   (file: wall {to_file['mean'] / theirs['mean']:.2f})")
print("  goal (tabstrap within 2x of sqlite3):", "met" if ratio <= 2.0 else "NOT met")
PY

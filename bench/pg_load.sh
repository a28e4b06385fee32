#!/usr/bin/env bash
# Times the PostgreSQL load of the generated 1 000 000-row delimited file against a local
# throw-away cluster that the bench starts itself (pg_virtualenv), with hyperfine:
#     morvexcli load DESC "dbname=…"   against   psql -1 with \copy of the same rows already
#                                                converted to PostgreSQL's CSV (written by
#                                                COPY … TO from the loaded table), into a table
#                                                of the same columns dropped and created in the
#                                                same transaction, as the load does
# and prints the ratio measured in the same run, the peak resident memory of the load, and the
# append of the same rows to a table that holds them already with --keys (the description's
# indexes on code and nom) against the same load into an empty keyed table.
#
#     bash bench/pg_load.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), PG_BENCH_RUNS (default 3).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${PG_BENCH_RUNS:-3}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require pg_load hyperfine psql pg_virtualenv python3 /usr/bin/time "$CLI"
if [ -z "${PG_BENCH_CLUSTER:-}" ]; then
    DATA=$(bench_input "$OUT" "$ROWS")
    # One cluster at a time on the machine (the tests take the same lock).
    exec env PG_BENCH_CLUSTER=1 flock /tmp/morvex-fylatek-postgres.lock \
        pg_virtualenv bash "$0" "$BUILD"
fi
DATA="$OUT/delimited_${ROWS}.txt"
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log $OUT/pg_load.log"
C="dbname=$PGDATABASE"
Q() { psql -X -q -At -v ON_ERROR_STOP=1 -c "$1"; }

# The peer's input: the rows as the load converted them, in PostgreSQL's own CSV.
$M load "$DESC" "$C" --schema bench --data "$DATA" --mode replace > /dev/null
rm -f "$OUT/pg_converted.csv"
Q "\\copy bench.operations TO '$OUT/pg_converted.csv' WITH (FORMAT csv)"
Q "CREATE SCHEMA IF NOT EXISTS peer"
cat > "$OUT/pg_copy.sql" <<SQL
DROP TABLE IF EXISTS peer.operations;
CREATE TABLE peer.operations (LIKE bench.operations);
\\copy peer.operations FROM '$OUT/pg_converted.csv' WITH (FORMAT csv)
SQL

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/pg_load.json" \
    -n "morvexcli load postgresql" "$M load '$DESC' '$C' --schema bench --data '$DATA' --mode replace --batch 100000 > /dev/null" \
    -n "psql \\copy" "psql -X -q -1 -v ON_ERROR_STOP=1 -f '$OUT/pg_copy.sql' > /dev/null"

python3 - "$OUT/pg_load.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
a, b = r["morvexcli load postgresql"], r["psql \\copy"]
ratio = a / b
print(f"morvexcli load postgresql {a:8.3f} s   psql \\copy {b:8.3f} s   time ratio {ratio:5.2f}"
      f"   (must <= 1.0, aim <= 0.7) {'ok' if ratio <= 1.0 else 'MISSED'}")
PY
echo "Rows in both tables: $(Q 'SELECT count(*) FROM bench.operations') / $(Q 'SELECT count(*) FROM peer.operations')"

kb=$(/usr/bin/time -f %M $M load "$DESC" "$C" --schema bench --data "$DATA" --mode replace 2>&1 >/dev/null | tail -n 1)
printf 'Peak resident memory of the load (must < 64 MB, aim < 32 MB): %.1f MB\n' "$(awk "BEGIN { print $kb / 1024 }")"

# --keys: the description with two indexes (the generated codes are not unique: no primary key).
KEYED="$OUT/delimited_keyed.fyk"
python3 - "$DESC" "$KEYED" <<'PY'
import sys
text = open(sys.argv[1], "rb").read()
end = b"\t\tEND Primary Key\r\n"
index = (b"\t\tBEGIN Index\r\n\t\t\tNAME=ix_operations_code\r\n\t\t\tCOMPOSANTE=code\r\n\t\tEND Index\r\n"
         b"\t\tBEGIN Index\r\n\t\t\tNAME=ix_operations_nom\r\n\t\t\tCOMPOSANTE=nom\r\n\t\tEND Index\r\n")
open(sys.argv[2], "wb").write(text.replace(end, end + index, 1))
PY
hyperfine --runs "$RUNS" --export-json "$OUT/pg_keys.json" \
    --prepare "true" \
    --prepare "$M load '$KEYED' '$C' --schema keyed --data '$DATA' --mode replace --keys > /dev/null" \
    -n "into an empty keyed table" "$M load '$KEYED' '$C' --schema keyed --data '$DATA' --mode replace --keys > /dev/null" \
    -n "append to a keyed table of the same rows" "$M load '$KEYED' '$C' --schema keyed --data '$DATA' --mode append > /dev/null"
python3 - "$OUT/pg_keys.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
a, b = r["append to a keyed table of the same rows"], r["into an empty keyed table"]
print(f"append with keys {a:8.3f} s   into an empty keyed table {b:8.3f} s   time ratio {a / b:5.2f}"
      f"   (must <= 1.5) {'ok' if a / b <= 1.5 else 'MISSED'}")
PY

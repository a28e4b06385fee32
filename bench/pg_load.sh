#!/usr/bin/env bash
# Times the PostgreSQL load of the generated 1 000 000-row delimited file against a local
# throw-away cluster that the bench starts itself (pg_virtualenv):
#     morvexcli load DESC "dbname=…"   against   psql -1 with \copy of the same rows already
#                                                converted to PostgreSQL's CSV (written by
#                                                COPY … TO from the loaded table), into a table
#                                                of the same columns dropped and created in the
#                                                same transaction, as the load does
# in PG_BENCH_RUNS rounds, each timing both one after the other, and prints the minimum and
# median of the rounds' ratios, the peak resident memory of the load, what the same psql takes
# with the rows in COPY's binary format (what a binary COPY would save the server), and the
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

bench_require pg_load psql pg_virtualenv python3 /usr/bin/time "$CLI"
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

# timed LABEL COMMAND...: runs the command, appends "LABEL seconds peak-kB" to $TIMES.
TIMES="$OUT/pg_times.txt"
: > "$TIMES"
timed() {
    local label=$1
    shift
    /usr/bin/time -f "$label %e %M" -a -o "$TIMES" "$@" > /dev/null
}
LOAD=($M load "$DESC" "$C" --schema bench --data "$DATA" --mode replace --batch 100000)
PEER=(psql -X -q -1 -v ON_ERROR_STOP=1 -f "$OUT/pg_copy.sql")
# The same rows in COPY's binary format, loaded by the same psql: what the server would save if
# the load sent binary rows (no text to parse for the integers, decimals and dates).
Q "\\copy bench.operations TO '$OUT/pg_converted.bin' WITH (FORMAT binary)"
sed "s/WITH (FORMAT csv)/WITH (FORMAT binary)/; s/pg_converted.csv/pg_converted.bin/" \
    "$OUT/pg_copy.sql" > "$OUT/pg_copy_binary.sql"
BINARY=(psql -X -q -1 -v ON_ERROR_STOP=1 -f "$OUT/pg_copy_binary.sql")
# One warm-up each, then RUNS rounds in which the three follow each other, so that each ratio
# compares runs made under the same load of the machine.
"${LOAD[@]}" > /dev/null
"${PEER[@]}" > /dev/null
: > "$TIMES"
for i in $(seq 1 "$RUNS"); do
    timed load "${LOAD[@]}"
    timed peer "${PEER[@]}"
    timed binary "${BINARY[@]}"
done
echo "Rows in both tables: $(Q 'SELECT count(*) FROM bench.operations') / $(Q 'SELECT count(*) FROM peer.operations')"

# ratios FILE A B MUST AIM TITLE: per round A/B, then their min and median against the figure.
ratios() {
    python3 - "$@" <<'PY'
import statistics, sys
path, a, b, must, aim, title = sys.argv[1:7]
runs = {}
for line in open(path):
    parts = line.split()
    if len(parts) == 3 and parts[0] in (a, b):
        runs.setdefault(parts[0], []).append((float(parts[1]), int(parts[2])))
pairs = list(zip(runs[a], runs[b]))
r = sorted(x[0] / y[0] for x, y in pairs)
print(f"{title}: {len(r)} rounds, {a} " + " ".join(f"{x[0]:.2f}" for x, _ in pairs) + " s, "
      f"{b} " + " ".join(f"{y[0]:.2f}" for _, y in pairs) + " s")
line = f"  time ratio min {r[0]:.2f}  median {statistics.median(r):.2f}  max {r[-1]:.2f}"
if must != "-":
    verdict = "ok" if statistics.median(r) <= float(must) else "MISSED"
    aimed = f", aim <= {aim}" if aim != "-" else ""
    line += f"   (must <= {must}{aimed}) {verdict}"
print(line)
if a == "load":
    peak = max(x[1] for x, _ in pairs) / 1024
    print(f"  peak resident memory of the load {peak:.1f} MB (must < 64 MB, aim < 32 MB) "
          f"{'ok' if peak < 64 else 'MISSED'}")
PY
}
ratios "$TIMES" load peer 1.0 0.7 "morvexcli load postgresql against psql \\copy (CSV)"
ratios "$TIMES" binary peer - - "psql \\copy binary against psql \\copy CSV (what binary COPY saves the server)"

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
KEYED_LOAD=($M load "$KEYED" "$C" --schema keyed --data "$DATA" --mode replace --keys)
KEYED_APPEND=($M load "$KEYED" "$C" --schema keyed --data "$DATA" --mode append)
: > "$TIMES"
for i in $(seq 1 "$RUNS"); do
    timed empty "${KEYED_LOAD[@]}"
    timed append "${KEYED_APPEND[@]}"
done
ratios "$TIMES" append empty 1.5 - "append of the same rows to a keyed table against the load into an empty keyed table"

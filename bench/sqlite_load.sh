#!/usr/bin/env bash
# Times the SQLite load of the generated 1 000 000-row delimited file and prints the ratios
# measured in the same run:
#     morvexcli load DESC file.db     against   the sqlite3 shell's .import of the same file into a
#                                               table with the same typed columns (the shell with
#                                               its journal in memory and synchronous writes off;
#                                               the load keeps its rollback journal on disk)
#     morvexcli load DESC file.db     against   SQLite's floor: the loaded rows copied inside
#                                               SQLite into an empty table of the same columns,
#                                               with the load's journal and synchronous settings,
#                                               records moved whole by SQLite's transfer shortcut
#                                               (told) and records built from their values
#                                               (bench/sqlite_floor.py; must <= 1.8, aim <= 1.4)
#     morvexcli load DESC :memory:    rows per second of every run (must >= 1 500 000 in the
#                                               slowest, aim >= 2 000 000)
# and the peak resident memory of the load.
#
#     bash bench/sqlite_load.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), SQLITE_BENCH_RUNS (default 5).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${SQLITE_BENCH_RUNS:-5}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require sqlite_load hyperfine sqlite3 python3 /usr/bin/time "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null"

# The peer's script: the same typed table as the load creates, then .import (header skipped).
cat > "$OUT/sqlite_import.sql" <<SQL
PRAGMA journal_mode=MEMORY;
PRAGMA synchronous=OFF;
DROP TABLE IF EXISTS "operations";
CREATE TABLE "operations" ("code" int, "nom" varchar(60), "libelle" varchar(100),
  "montant" decimal(14, 2), "quantite" int, "date_operation" datetime, "commentaire" varchar(200));
.import --csv --skip 1 '$DATA' operations
SQL
# .import reads the separator before the file.
sed -i "s/^\.import/.separator ;\n.import/" "$OUT/sqlite_import.sql"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/sqlite_load.json" \
    -n "morvexcli load file" "rm -f '$OUT/load.db'; $M load '$DESC' '$OUT/load.db' --data '$DATA' --batch 100000 > /dev/null" \
    -n "sqlite3 .import" "rm -f '$OUT/import.db'; sqlite3 '$OUT/import.db' < '$OUT/sqlite_import.sql' > /dev/null"

python3 - "$OUT/sqlite_load.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
ratio = r["morvexcli load file"] / r["sqlite3 .import"]
print(f"morvexcli load file {r['morvexcli load file']:8.3f} s   sqlite3 .import {r['sqlite3 .import']:8.3f} s"
      f"   time ratio {ratio:5.2f}   (must <= 1.0, aim <= 0.6) {'ok' if ratio <= 1.0 else 'MISSED'}")
PY
echo "Rows in both tables: $(sqlite3 "$OUT/load.db" 'SELECT count(*) FROM operations') / $(sqlite3 "$OUT/import.db" 'SELECT count(*) FROM operations')"

# SQLite's floor: the loaded table copied into an empty one of the same columns inside SQLite
# (its records moved whole by its transfer shortcut, and built again from their values),
# the load and the copy alternating (bench/sqlite_floor.py).
python3 "$HERE/sqlite_floor.py" "$RUNS" "$CLI" "$DESC" "$DATA" "$OUT" || true

# Into memory: rows per second over the wall time of the whole command, in every run; the
# slowest run decides.
hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/sqlite_memory.json" \
    -n "morvexcli load :memory:" "$M load '$DESC' :memory: --data '$DATA' --batch 100000 > /dev/null" \
    > /dev/null
python3 - "$ROWS" "$OUT/sqlite_memory.json" <<'PY'
import json, sys
rows, result = int(sys.argv[1]), json.load(open(sys.argv[2]))["results"][0]
speeds = sorted(rows / t for t in result["times"])
print(f"morvexcli load :memory: rows/s per run: {' '.join(f'{s:,.0f}' for s in speeds)}   "
      f"slowest {speeds[0]:,.0f}   (must >= 1 500 000 in every run, aim >= 2 000 000) "
      f"{'ok' if speeds[0] >= 1500000 else 'MISSED'}")
PY

kb=$(/usr/bin/time -f %M $M load "$DESC" "$OUT/load.db" --data "$DATA" 2>&1 >/dev/null | tail -n 1)
printf 'Peak resident memory of the load (goal < 64 MB): %.1f MB\n' "$(awk "BEGIN { print $kb / 1024 }")"

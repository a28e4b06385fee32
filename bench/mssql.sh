#!/usr/bin/env bash
# Times the SQL Server INSERT script of the generated 1 000 000-row delimited file against
# reading the same file to CSV, with hyperfine, and prints the ratio measured in the same run:
#     morvexcli mssql insert                against   morvexcli preview --rows 0 --csv
#
#     bash bench/mssql.sh BUILD_DIR
#
# Environment: MSSQL_BENCH_ROWS (default 1000000), MSSQL_BENCH_RUNS (default 3).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${MSSQL_BENCH_ROWS:-1000000}
RUNS=${MSSQL_BENCH_RUNS:-3}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require mssql hyperfine python3 "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")

# morvexcli reads its settings from a private folder, never the user's.
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null"
ls -l "$DATA"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/mssql.json" \
    -n "morvexcli mssql insert" "$M mssql insert '$DESC' '$OUT/mssql_insert.sql' --data '$DATA'" \
    -n "morvexcli preview --csv" "$M preview '$DESC' --data '$DATA' --rows 0 --csv > /dev/null"
ls -l "$OUT/mssql_insert.sql"

python3 - "$OUT/mssql.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
ours, peer, goal = "morvexcli mssql insert", "morvexcli preview --csv", 1.5
ratio = r[ours] / r[peer]
print(f"{ours:26s} {r[ours]:8.3f} s   {peer:24s} {r[peer]:8.3f} s   ratio {ratio:5.2f}"
      f"   (goal <= {goal}) {'ok' if ratio <= goal else 'MISSED'}")
PY

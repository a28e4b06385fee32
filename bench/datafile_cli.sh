#!/usr/bin/env bash
# Times morvexcli on the generated 1 000 000-row delimited file against the named peers and
# prints the ratios measured in the same run:
#     morvexcli count                       against   wc -l (must <= 1.2, aim <= 1.0)
#     morvexcli preview --rows 0 --csv      against   mlr --icsv --ifs ';' --ocsv cat
#     morvexcli analyse --all               against   DuckDB DESCRIBE read_csv(sample_size=-1)
#                                                     (must <= 0.5, aim <= 0.3)
# and the peak resident memory of each morvexcli command (GNU time). The count and the preview
# go through hyperfine; the analysis and DuckDB run in turn, round after round
# (bench/alternate.py), and the figure is the median of the rounds' ratios with their least and
# greatest: the machine's speed drifts too much within a minute for one command's runs after
# the other's.
#
#     bash bench/datafile_cli.sh BUILD_DIR [analyse]
#
# With `analyse`, only the analysis against DuckDB is timed.
# Environment: DATAFILE_BENCH_ROWS (default 1000000), DATAFILE_BENCH_RUNS (default 3),
# ANALYSE_BENCH_ROUNDS (default 15).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ONLY=${2:-}
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${DATAFILE_BENCH_RUNS:-3}
ROUNDS=${ANALYSE_BENCH_ROUNDS:-15}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require datafile_cli hyperfine mlr node npm python3 wc /usr/bin/time "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
if [ ! -d "$HERE/duckdb/node_modules/@duckdb/node-api" ]; then
    (cd "$HERE/duckdb" && npm install --silent --no-audit --no-fund)
fi

# morvexcli reads its settings from a private folder, never the user's.
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null"
ls -l "$DATA"

if [ "$ONLY" != analyse ]; then
hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/datafile_cli.json" \
    -n "morvexcli count" "$M count '$DESC' --data '$DATA'" \
    -n "wc -l" "wc -l '$DATA'" \
    -n "morvexcli preview --csv" "$M preview '$DESC' --data '$DATA' --rows 0 --csv > /dev/null" \
    -n "mlr cat" "mlr --icsv --ifs ';' --ocsv cat '$DATA' > /dev/null"

python3 - "$OUT/datafile_cli.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
for ours, peer, goal in [("morvexcli count", "wc -l", 1.2),
                         ("morvexcli preview --csv", "mlr cat", 0.35)]:
    ratio = r[ours] / r[peer]
    print(f"{ours:26s} {r[ours]:8.3f} s   {peer:16s} {r[peer]:8.3f} s   ratio {ratio:5.2f}"
          f"   (goal <= {goal}) {'ok' if ratio <= goal else 'MISSED'}")
PY
fi

python3 "$HERE/alternate.py" "$ROUNDS" \
    --cmd analyse "$M -q analyse '$DATA' --all -o '$OUT/analysed.fyk' > /dev/null" \
    --cmd duckdb "node '$HERE/duckdb/describe.mjs' '$DATA' > /dev/null" \
    --ratio "morvexcli analyse --all" analyse duckdb 0.5 0.3
[ "$ONLY" = analyse ] && exit 0

echo "Peak resident memory (goal < 64 MB):"
for args in "count '$DESC' --data '$DATA'" \
            "preview '$DESC' --data '$DATA' --rows 0 --csv" \
            "analyse '$DATA' --all -o '$OUT/analysed.fyk'"; do
    kb=$(eval /usr/bin/time -f %M "$M" "$args" 2>&1 >/dev/null | tail -n 1)
    printf '  morvexcli %-8s %6.1f MB\n' "${args%% *}" "$(awk "BEGIN { print $kb / 1024 }")"
done

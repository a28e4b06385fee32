#!/usr/bin/env bash
# Times morvexcli in pipelines on the generated 1 000 000-row delimited file, each against the
# plain file's load measured in the same run (hyperfine):
#     load of the file gzip-compressed          / load of the plain file   (must <= 1.15, aim <= 1.05)
#     load from standard input (cat f | ... -)  / load of the plain file   (must <= 1.05)
#     preview --format ndjson                   / Miller --ojsonl           (must <= 0.35, aim <= 0.2)
#     preview --format csv (typed)              / Miller --ocsv             (must <= 0.35, aim <= 0.2)
# (Miller reads the same file, ';'-separated with its header, and writes every row.)
# The loads go into ":memory:" so that the reading, not the disk, is what is compared. Ratios
# of the median runs, and of the fastest ones.
#
#     bash bench/pipes.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), PIPES_BENCH_RUNS (default 5).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${PIPES_BENCH_RUNS:-5}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require pipes hyperfine gzip mlr python3 "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
[ -s "$DATA.gz" ] || gzip -k -6 -c "$DATA" > "$DATA.gz"
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null -q"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/pipes.json" \
    -n "plain" "$M load '$DESC' :memory: --data '$DATA' > /dev/null" \
    -n "gzip" "$M load '$DESC' :memory: --data '$DATA.gz' > /dev/null" \
    -n "stdin" "cat '$DATA' | $M load '$DESC' :memory: --data - > /dev/null"

python3 - "$OUT/pipes.json" <<'PY'
import json, statistics, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: x["median"] for k, x in res.items()}
for name, must, aim in (("gzip", 1.15, 1.05), ("stdin", 1.05, None)):
    ratio = r[name] / r["plain"]
    low = min(res[name]["times"]) / min(res["plain"]["times"])
    goal = f"must <= {must}" + (f", aim <= {aim}" if aim else "")
    print(f"load {name:5} {r[name]:7.3f} s   plain {r['plain']:7.3f} s   ratio {ratio:5.2f}"
          f" (of the fastest runs {low:5.2f})   ({goal}) {'ok' if ratio <= must else 'MISSED'}")
PY

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/pipes_export.json" \
    -n "ndjson" "$M preview '$DESC' --rows 0 --format ndjson --data '$DATA' > /dev/null" \
    -n "mlr ojsonl" "mlr --icsv --ifs ';' --ojsonl cat '$DATA' > /dev/null" \
    -n "csv" "$M preview '$DESC' --rows 0 --format csv --data '$DATA' > /dev/null" \
    -n "mlr ocsv" "mlr --icsv --ifs ';' --ocsv cat '$DATA' > /dev/null"

python3 - "$OUT/pipes_export.json" <<'PY'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: x["median"] for k, x in res.items()}
for ours, peer in (("ndjson", "mlr ojsonl"), ("csv", "mlr ocsv")):
    ratio = r[ours] / r[peer]
    low = min(res[ours]["times"]) / min(res[peer]["times"])
    print(f"preview --format {ours:6} {r[ours]:7.3f} s   {peer} {r[peer]:7.3f} s   ratio {ratio:5.2f}"
          f" (of the fastest runs {low:5.2f})   (must <= 0.35, aim <= 0.2)"
          f" {'ok' if ratio <= 0.35 else 'MISSED'}")
PY

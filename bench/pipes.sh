#!/usr/bin/env bash
# Times morvexcli in pipelines on the generated 1 000 000-row delimited file, each against the
# plain file's load measured in the same run:
#     load of the file gzip-compressed          / load of the plain file   (must <= 1.15, aim <= 1.05)
#     load from standard input (cat f | ... -)  / load of the plain file   (must <= 1.05)
#     preview --format ndjson                   / Miller --ojsonl           (must <= 0.35, aim <= 0.2)
#     preview --format csv (typed)              / Miller --ocsv             (must <= 0.35, aim <= 0.2)
# (Miller reads the same file, ';'-separated with its header, and writes every row.)
# The loads go into a database file, as a person types the command (`load d.fyk db`), and into
# ":memory:", where no disk write hides the reading: the median of their ratios over rounds
# that run them all in turn; the previews and Miller's likewise, in turn.
#
#     bash bench/pipes.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), PIPES_BENCH_RUNS (default 5).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${PIPES_BENCH_RUNS:-15}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require pipes gzip mlr python3 "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
[ -s "$DATA.gz" ] || gzip -k -6 -c "$DATA" > "$DATA.gz"
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null -q"

# Rounds that run the commands in turn (alternate.py): the median of each round's ratio.
DB="$OUT/pipes.db"
python3 "$HERE/alternate.py" "$RUNS" \
    --cmd plain "rm -f '$DB'; $M load '$DESC' '$DB' --data '$DATA' > /dev/null" \
    --cmd gzip "rm -f '$DB'; $M load '$DESC' '$DB' --data '$DATA.gz' > /dev/null" \
    --cmd stdin "rm -f '$DB'; cat '$DATA' | $M load '$DESC' '$DB' --data - > /dev/null" \
    --cmd "plain :memory:" "$M load '$DESC' :memory: --data '$DATA' > /dev/null" \
    --cmd "gzip :memory:" "$M load '$DESC' :memory: --data '$DATA.gz' > /dev/null" \
    --cmd "stdin :memory:" "cat '$DATA' | $M load '$DESC' :memory: --data - > /dev/null" \
    --ratio "load gzip, database file " gzip plain 1.15 1.05 \
    --ratio "load stdin, database file" stdin plain 1.05 \
    --ratio "load gzip, :memory:      " "gzip :memory:" "plain :memory:" 1.15 1.05 \
    --ratio "load stdin, :memory:     " "stdin :memory:" "plain :memory:" 1.05
rm -f "$DB"

python3 "$HERE/alternate.py" "$RUNS" \
    --cmd ndjson "$M preview '$DESC' --rows 0 --format ndjson --data '$DATA' > /dev/null" \
    --cmd "mlr ojsonl" "mlr --icsv --ifs ';' --ojsonl cat '$DATA' > /dev/null" \
    --cmd csv "$M preview '$DESC' --rows 0 --format csv --data '$DATA' > /dev/null" \
    --cmd "mlr ocsv" "mlr --icsv --ifs ';' --ocsv cat '$DATA' > /dev/null" \
    --ratio "preview --format ndjson" ndjson "mlr ojsonl" 0.35 0.2 \
    --ratio "preview --format csv   " csv "mlr ocsv" 0.35 0.2

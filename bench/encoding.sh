#!/usr/bin/env bash
# The cost of reading a Windows-1252 file through ENCODING=WINDOWS-1252, against the same load
# of the UTF-8 file without the key, on the generated 1 000 000-row file with accented words,
# and the cost of the guesses of `analyse --delimiter auto --encoding auto --eol auto`.
#
#     bash bench/encoding.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), ENCODING_BENCH_RUNS (default 3).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${ENCODING_BENCH_RUNS:-3}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
bench_require encoding hyperfine iconv python3 "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null"

# The generated words carry no accent: give three frequent ones an é.
UTF8="$OUT/accented_utf8.txt"
CP1252="$OUT/accented_cp1252.txt"
sed 's/remise/remisé/g; s/Marie/Marié/g; s/stock/stocké/g' "$DATA" > "$UTF8"
iconv -f UTF-8 -t WINDOWS-1252 "$UTF8" > "$CP1252"
python3 - "$HERE/delimited.fyk" "$OUT/delimited_cp1252.fyk" <<'PY'
import sys
s = open(sys.argv[1], 'rb').read()
s = s.replace(b'\t\tFIELDDELIMITER=;\r\n', b'\t\tFIELDDELIMITER=;\r\n\t\tENCODING=WINDOWS-1252\r\n', 1)
open(sys.argv[2], 'wb').write(s)
PY

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/encoding.json" \
    -n "load UTF-8" "$M load '$HERE/delimited.fyk' :memory: --data '$UTF8' --batch 100000" \
    -n "load WINDOWS-1252" "$M load '$OUT/delimited_cp1252.fyk' :memory: --data '$CP1252' --batch 100000" \
    -n "analyse" "$M analyse '$DATA' --rows 100 -o '$OUT/plain.fyk'" \
    -n "analyse auto" "$M analyse '$DATA' --rows 100 --delimiter auto --encoding auto --eol auto -o '$OUT/auto.fyk'"

python3 - "$OUT/encoding.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
cost = r["load WINDOWS-1252"] / r["load UTF-8"] - 1
extra = (r["analyse auto"] - r["analyse"]) * 1000
print(f"WINDOWS-1252 load costs {cost * 100:+.1f} % over UTF-8 (goal <= +20 %) {'ok' if cost <= 0.2 else 'MISSED'}")
print(f"the guesses add {extra:.1f} ms to analyse (goal < 10 ms) {'ok' if extra < 10 else 'MISSED'}")
PY

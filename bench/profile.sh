#!/usr/bin/env bash
# Times the column profile of the generated 1 000 000-row delimited file with hyperfine:
#     morvexcli profile DESC    against   Miller's summary verb over the same file (mlr --icsv
#                                         --ifs ';' summary: counts, distinct values, modes,
#                                         extremes, lengths and quantiles of every column)
# and prints the ratio measured in the same run, and the peak resident memory of the profile.
#
#     bash bench/profile.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), PROFILE_BENCH_RUNS (default 3).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${PROFILE_BENCH_RUNS:-3}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require profile hyperfine mlr python3 /usr/bin/time "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log $OUT/profile.log"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/profile.json" \
    -n "morvexcli profile" "$M profile '$DESC' --data '$DATA' > /dev/null" \
    -n "mlr summary" "mlr --icsv --ifs ';' --ojson summary '$DATA' > /dev/null"

python3 - "$OUT/profile.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
ratio = r["morvexcli profile"] / r["mlr summary"]
print(f"morvexcli profile {r['morvexcli profile']:8.3f} s   mlr summary {r['mlr summary']:8.3f} s"
      f"   time ratio {ratio:5.2f}   (must <= 0.5, aim <= 0.25) {'ok' if ratio <= 0.5 else 'MISSED'}")
PY

# Peak resident memory of the profile, the text and the HTML report written.
/usr/bin/time -f "%M" -o "$OUT/profile.rss" $M profile "$DESC" --data "$DATA" \
    --html "$OUT/profile.html" > /dev/null
KB=$(tail -1 "$OUT/profile.rss")
echo "morvexcli profile peak memory $((KB / 1024)) MB   (must < 64 MB, aim < 32 MB)" \
     "$([ "$KB" -lt 65536 ] && echo ok || echo MISSED)"

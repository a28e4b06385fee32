#!/usr/bin/env bash
# What reading a file right without options costs, with hyperfine on the generated
# 1 000 000-row delimited file (quoted text fields, some holding ";"):
#   - detection: `morvexcli analyse FILE --rows 1000` (encoding, end of line, delimiter and
#     quoting guessed from the first MiB, the columns from the commonest row shape) against
#     `analyse FILE --rows 1000 --plain` given the same options, both typing the same rows
#     (goal: under 20 ms more);
#   - unquoting: `morvexcli load` through the description that analysis wrote (UNQUOTE=1)
#     against the load of the same rows written without quotes, through the description
#     analysed from that file, the two alternating within each run (quoted, unquoted,
#     unquoted, quoted; must: at most 1.03 times in every run).
#
#     bash bench/detect.sh BUILD_DIR
#
# Environment: DATAFILE_BENCH_ROWS (default 1000000), DETECT_BENCH_RUNS (default 5).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
ROWS=${DATAFILE_BENCH_ROWS:-1000000}
RUNS=${DETECT_BENCH_RUNS:-5}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"

bench_require detect hyperfine python3 "$CLI"
DATA=$(bench_input "$OUT" "$ROWS")
export MORVEX_CONFIG_DIR="$OUT/config"
mkdir -p "$MORVEX_CONFIG_DIR"
M="$CLI --log /dev/null"

# The same rows without quotes: a ";" inside a value becomes ",", so that the shape holds.
PLAIN="$OUT/unquoted_${ROWS}.txt"
if [ ! -s "$PLAIN" ]; then
    python3 - "$DATA" "$PLAIN.part" <<'PY'
import csv, sys
with open(sys.argv[1], newline="") as src, open(sys.argv[2], "w", newline="") as dst:
    for row in csv.reader(src, delimiter=";"):
        dst.write(";".join(v.replace(";", ",") for v in row) + "\r\n")
PY
    mv "$PLAIN.part" "$PLAIN"
fi

$M analyse "$DATA" -o "$OUT/quoted.fyk" > /dev/null 2> "$OUT/detect.err"
$M analyse "$PLAIN" -o "$OUT/unquoted.fyk" > /dev/null 2>&1
grep -q "UNQUOTE=1" "$OUT/quoted.fyk" || { echo "detect bench: no UNQUOTE=1 in quoted.fyk" >&2; exit 1; }
sed 's/^/  /' "$OUT/detect.err"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/detect_analyse.json" \
    -n "analyse (detected)" "$M analyse '$DATA' --rows 1000 -o '$OUT/a1.fyk'" \
    -n "analyse --plain" "$M analyse '$DATA' --rows 1000 --plain --delimiter ';' --eol '\\r\\n' --quote '\"' -o '$OUT/a2.fyk'" \
    > /dev/null

# The two loads alternate, run after run, and the ratio is the median of each pair's: on a
# machine shared with others a burst of load then weighs on both sides alike.
python3 - "$RUNS" "$OUT/detect_load.json" "$CLI" "$OUT/quoted.fyk" "$OUT/unquoted.fyk" <<'PY'
import json, subprocess, sys, time
runs, out, cli, quoted, unquoted = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
def once(desc):
    start = time.perf_counter()
    subprocess.run([cli, "--log", "/dev/null", "load", desc, ":memory:", "--batch", "100000"],
                   check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start
once(quoted); once(unquoted)  # warm-up
# Each run times the two loads twice, in the order quoted, unquoted, unquoted, quoted: a
# machine that speeds up or slows down during the run then weighs on both alike.
def run():
    q1, u1, u2, q2 = once(quoted), once(unquoted), once(unquoted), once(quoted)
    return ((q1 + q2) / 2, (u1 + u2) / 2)
pairs = [run() for _ in range(runs)]
json.dump({"pairs": pairs}, open(out, "w"))
PY

python3 - "$OUT/detect_analyse.json" "$OUT/detect_load.json" <<'PY'
import json, sys
a = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
extra_ms = (a["analyse (detected)"] - a["analyse --plain"]) * 1000
print(f"analyse detected {a['analyse (detected)']*1000:7.1f} ms   --plain {a['analyse --plain']*1000:7.1f} ms"
      f"   detection adds {extra_ms:5.1f} ms   (goal < 20 ms) {'ok' if extra_ms < 20 else 'MISSED'}")
pairs = json.load(open(sys.argv[2]))["pairs"]
median = lambda xs: sorted(xs)[len(xs) // 2]
q, u = median([p[0] for p in pairs]), median([p[1] for p in pairs])
ratios = sorted(p[0] / p[1] for p in pairs)
ratio = median(ratios)
print(f"load quoted {q:6.3f} s   unquoted {u:6.3f} s   (medians of {len(pairs)})   ratio {ratio:5.3f}"
      f"   per run {' '.join(f'{r:.3f}' for r in ratios)}"
      f"   (must <= 1.03 in every run) {'ok' if ratios[-1] <= 1.03 else 'MISSED'}")
PY

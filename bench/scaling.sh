#!/usr/bin/env bash
# How the costs of the load and the count grow, on files made from the generated 1 000 000-row
# delimited file in a temporary folder (removed at the end):
#     a file ten times longer (its rows ten times, one header): load into a file, analysis of
#         every row (`analyse --all`) and count <= 10.5 times the 1 000 000-row figures, peak
#         resident memory flat (<= 1.2 times)
#     a file of 1 000 columns of the same byte size (bench/gen_wide.py: the same values, column
#         i of the type of column i mod 7): load <= 1.3 times the 7-column file's
# The commands alternate run after run; the ratios are those of the medians, with each run's.
#
#     bash bench/scaling.sh BUILD_DIR
#
# Environment: SCALING_BENCH_RUNS (default 7: the short loads vary most with the machine),
# TMPDIR (about 3 GB are written there).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
RUNS=${SCALING_BENCH_RUNS:-7}
OUT="$HERE/out"
CLI="$BUILD/cli/morvexcli"
DESC="$HERE/delimited.fyk"

bench_require scaling python3 /usr/bin/time "$CLI"
DATA=$(bench_input "$OUT" 1000000)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvex-scaling.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export MORVEX_CONFIG_DIR="$WORK/config"
mkdir -p "$MORVEX_CONFIG_DIR"

echo "Making the files in $WORK ..." >&2
LONG="$WORK/delimited_10000000.txt"
{
    head -n 1 "$DATA"
    for _ in 1 2 3 4 5 6 7 8 9 10; do tail -n +2 "$DATA"; done
} > "$LONG"
python3 "$HERE/gen_wide.py" 1000 "$DATA" "$DESC" "$WORK/wide.txt" "$WORK/wide.fyk"
ls -l "$DATA" "$LONG" "$WORK/wide.txt"
# The files just written are on the disk before anything is timed: their write-back would
# otherwise run during the loads and be counted as theirs.
sync

python3 - "$RUNS" "$CLI" "$WORK" "$DESC" "$DATA" "$LONG" "$WORK/wide.fyk" "$WORK/wide.txt" <<'PY'
import os, statistics, subprocess, sys
runs, cli, work, desc, data, long_data, wide_desc, wide_data = int(sys.argv[1]), *sys.argv[2:]

def warm(args):
    """Reads the command's input files through, untimed. A machine may page out file pages
    that were read only now and then (this one pages out those idle for a minute): the
    command then times its reads from the disk, the long file's more than the short one's."""
    for path in (a for a in args if os.path.isfile(a) and not a.endswith(".fyk")):
        with open(path, "rb") as f:
            while f.read(1 << 20):
                pass

def measure(args):
    """Wall seconds, peak resident kB and processor seconds (user and system) of one
    morvexcli command (GNU time), its input files read through first."""
    warm(args)
    db = os.path.join(work, "load.db")
    for path in (db, db + "-journal"):
        if os.path.exists(path):
            os.remove(path)
    command = ["/usr/bin/time", "-f", "%e %M %U %S", cli, "--log", os.path.join(work, "log"), "-q"]
    done = subprocess.run(command + [a.replace("DB", db) for a in args], check=True,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds, kb, user, system = done.stderr.strip().splitlines()[-1].split()
    return float(seconds), int(kb), float(user) + float(system)

commands = {
    "load 1M": ["load", desc, "DB", "--data", data, "--batch", "100000"],
    "load 10M": ["load", desc, "DB", "--data", long_data, "--batch", "100000"],
    "load 1000 columns": ["load", wide_desc, "DB", "--data", wide_data, "--batch", "100000"],
    "analyse 1M": ["analyse", data, "--all", "-o", os.path.join(work, "analysed.fyk")],
    "analyse 10M": ["analyse", long_data, "--all", "-o", os.path.join(work, "analysed.fyk")],
    "count 1M": ["count", desc, "--data", data],
    "count 10M": ["count", desc, "--data", long_data],
}
for args in commands.values():  # warm-up: the files in the page cache
    measure(args)
results = {name: [] for name in commands}
for _ in range(runs):
    for name, args in commands.items():
        results[name].append(measure(args))

median = statistics.median
for name, values in results.items():
    print(f"{name:18s} {median(v[0] for v in values):7.3f} s  peak {median(v[1] for v in values) / 1024:6.1f} MB"
          f"   runs: {' '.join(f'{v[0]:.3f}' for v in values)}")
missed = False
def ratio(label, ours, base, limit, index=0):
    global missed
    per_run = sorted(a[index] / b[index] for a, b in zip(results[ours], results[base]))
    r = median(v[index] for v in results[ours]) / median(v[index] for v in results[base])
    ok = r <= limit
    missed |= not ok
    print(f"{label:44s} {r:6.2f}   per run {' '.join(f'{x:.2f}' for x in per_run)}"
          f"   (must <= {limit}) {'ok' if ok else 'MISSED'}")
ratio("load 10M / load 1M (time)", "load 10M", "load 1M", 10.5)
ratio("analyse 10M / analyse 1M (time)", "analyse 10M", "analyse 1M", 10.5)
ratio("count 10M / count 1M (time)", "count 10M", "count 1M", 10.5)
ratio("load 10M / load 1M (peak memory)", "load 10M", "load 1M", 1.2, 1)
# The processor time beside the wall time: on a machine whose speed varies from minute to
# minute, the long load's wall time takes in the slow phases the short one may miss.
cpu = lambda name: median(v[2] for v in results[name])
print(f"{'load 10M / load 1M (processor time, told)':44s} {cpu('load 10M') / cpu('load 1M'):6.2f}")
ratio("analyse 10M / analyse 1M (peak memory)", "analyse 10M", "analyse 1M", 1.2, 1)
ratio("count 10M / count 1M (peak memory)", "count 10M", "count 1M", 1.2, 1)
ratio("load 1000 columns / load 7 columns (time)", "load 1000 columns", "load 1M", 1.3)
sys.exit(1 if missed else 0)
PY

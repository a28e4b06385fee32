#!/usr/bin/env bash
# Times the template runtime through morvexcli generate, with hyperfine:
#   1. the bundled SQLite DDL template for a description of 2 000 columns;
#   2. a 100 000-iteration %for_each_datafile_row loop of text lines with substitutions,
#      reported as executed instructions per second (target: at least 1 000 000).
#
#     bash bench/template.sh BUILD_DIR
#
# Environment: TEMPLATE_BENCH_RUNS (default 5).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
ROOT=$(cd "$HERE/.." && pwd)
BUILD=$(cd "${1:-build}" && pwd)
RUNS=${TEMPLATE_BENCH_RUNS:-5}
OUT="$HERE/out/template"
CLI="$BUILD/cli/morvexcli"
bench_require template hyperfine python3 "$CLI"
rm -rf "$OUT" && mkdir -p "$OUT/gen" "$OUT/config"
export MORVEX_CONFIG_DIR="$OUT/config"

# A delimited description of 2 000 columns with a two-column primary key, and one of 2 columns
# whose example data file holds 100 000 rows.
python3 - "$OUT" <<'PY'
import sys
out = sys.argv[1]

def fyk(path, ncols, example):
    lines = ["BEGIN MorvexFylatek", "\tFILEVERSION=1.4", "\tBEGIN File",
             "\t\tINDFINDELIGNE=\\n", "\t\tTABLENAME=WIDE", "\t\tPROJECTNAME=Bench",
             "\t\tTYPESTRUCTFILE=2", "\t\tFIRSTLINEISHEADER=1", "\t\tBEGINFROMLINE=1",
             "\t\tFIELDDELIMITER=;", "\t\tFICHIEREXEMPLE=" + example]
    for i in range(ncols):
        t = i % 8
        fmt = {0: "9", 1: "10,2", 2: "jj/mm/aaaa", 3: "jj/mm/aaaa HH:MM:SS", 4: "5", 5: "40"}.get(t, "")
        lines += ["\t\tBEGIN Column", "\t\t\tNAME=C%04d" % i, "\t\t\tLARGEUR=10",
                  "\t\t\tTYPE_CIBLE=%d" % t, "\t\t\tFMT_CIBLE=" + fmt, "\t\tEND Column"]
    lines += ["\t\tBEGIN Process", "\t\tEND Process", "\tEND File", "END MorvexFylatek"]
    open(path, "w").write("\r\n".join(lines))

fyk(out + "/wide.fyk", 2000, "")
fyk(out + "/rows.fyk", 2, out + "/rows.csv")
with open(out + "/rows.csv", "w") as f:
    f.write("C0000;C0001\n")
    for i in range(100000):
        f.write("%d;%d,50\n" % (i, i))
PY
cat > "$OUT/loop.tpl" <<'TPL'
%templatetype MorvexFylatek.Template
%targetfilename loop.txt
%for_each_datafile_row
%begin
{row.number};{table.name};{project.name};{table.countcolumns}
%end
TPL

M="$CLI --log /dev/null"
# The instruction count of the loop run, as the generation reports it.
INSTR=$($M generate "$OUT/rows.fyk" --template "$OUT/loop.tpl" --out "$OUT/gen" 2>&1 >/dev/null |
        sed -n 's/^(i) \([0-9]*\) instructions.*/\1/p')

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/template.json" \
    -n "sqlite_ddl, 2000 columns" \
    "$M generate '$OUT/wide.fyk' --template '$ROOT/templates/sqlite_ddl.tpl' --libraries '$ROOT/templates/lib' --out '$OUT/gen'" \
    -n "100000-row loop" \
    "$M generate '$OUT/rows.fyk' --template '$OUT/loop.tpl' --out '$OUT/gen'"

python3 - "$OUT/template.json" "$INSTR" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
instr = int(sys.argv[2])
ddl = res["sqlite_ddl, 2000 columns"]
loop = res["100000-row loop"]
cpu = loop["user"] + loop["system"]
print("sqlite_ddl for 2000 columns: %.3f s wall, %.3f s CPU" % (ddl["mean"], ddl["user"] + ddl["system"]))
# The whole process is timed (start-up, reading the 100 000 rows, writing the output): a lower
# bound of the runtime's own speed.
print("100000-row loop: %d instructions: %.0f instructions/s of CPU time, %.0f of wall time "
      "(target >= 1000000)" % (instr, instr / cpu, instr / loop["mean"]))
PY

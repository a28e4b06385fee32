#!/usr/bin/env bash
# Times lintrim and linenum on a 1 GB text file against the usual shell tools doing the same
# job, with hyperfine:
#     lintrim 80 IN OUT   against   fold -b -w 80 IN > OUT
#     linenum IN OUT      against   mawk '{printf "%s%08d\n",$0,NR-1}' IN > OUT
# and prints how many times faster (or slower) our programs are, measured in the same run.
#
#     bash bench/lineutils.sh BUILD_DIR
#
# Environment: LINEUTILS_BENCH_BYTES (default 1000000000) sets the size of the input;
# LINEUTILS_BENCH_RUNS (default 3) the timed runs per command; LINEUTILS_BENCH_CLEAN=1 also
# removes the input at the end (otherwise it stays in bench/out/, git-ignored, for reuse).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
BYTES=${LINEUTILS_BENCH_BYTES:-1000000000}
RUNS=${LINEUTILS_BENCH_RUNS:-3}
OUT="$HERE/out"
LINTRIM="$BUILD/lineutils/lintrim"
LINENUM="$BUILD/lineutils/linenum"
AWK=$(command -v mawk || command -v awk)

bench_require lineutils hyperfine fold python3 "$AWK" "$LINTRIM" "$LINENUM"
mkdir -p "$OUT"
INPUT="$OUT/lines_${BYTES}.txt"

# Input: about 1 MiB of realistic records (60 to 200 characters, LF ends), repeated until the
# wanted size is reached. Made once and reused.
if [ ! -s "$INPUT" ]; then
    echo "Generating $INPUT ..."
    CHUNK="$OUT/chunk.txt"
    "$AWK" -v target=1048576 'BEGIN {
        srand(20260101)
        nn = split("DUPONT MARTIN BERNARD DURAND LEFEBVRE MOREAU LAURENT SIMON MICHEL GARCIA", names, " ")
        nc = split("PARIS LYON MARSEILLE TOULOUSE NANTES LILLE RENNES NICE BREST DIJON", cities, " ")
        nw = split("compte client facture livraison reglement avoir commande stock agence " \
                   "remise taux echeance solde virement cheque prelevement", words, " ")
        total = 0
        for (n = 0; total < target; n++) {
            len = 60 + int(rand() * 141)
            line = sprintf("%08d;%s;%s;%04d-%02d-%02d;%10.2f;", n, names[1 + int(rand() * nn)],
                           cities[1 + int(rand() * nc)], 1990 + int(rand() * 35),
                           1 + int(rand() * 12), 1 + int(rand() * 28), rand() * 100000)
            while (length(line) < len) line = line words[1 + int(rand() * nw)] " "
            line = substr(line, 1, len)
            print line
            total += len + 1
        }
    }' > "$CHUNK"
    chunk_size=$(stat -c %s "$CHUNK")
    copies=$(( (BYTES + chunk_size - 1) / chunk_size ))
    files=()
    for ((i = 0; i < copies; i++)); do files+=("$CHUNK"); done
    cat "${files[@]}" > "$INPUT.part"
    mv "$INPUT.part" "$INPUT"
    rm -f "$CHUNK"
fi
size=$(stat -c %s "$INPUT")
lines=$(wc -l < "$INPUT")
echo "Input: $INPUT ($size bytes, $lines lines); awk: $AWK; $RUNS runs after 1 warm-up"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/lintrim.json" \
    -n lintrim "'$LINTRIM' 80 '$INPUT' '$OUT/lintrim.out'" \
    -n fold "fold -b -w 80 '$INPUT' > '$OUT/fold.out'"
expected=$(( size + 2 * (size / 80) ))
actual=$(stat -c %s "$OUT/lintrim.out")
[ "$actual" -eq "$expected" ] || { echo "lintrim output has $actual bytes, not $expected" >&2; exit 1; }

hyperfine --warmup 1 --runs "$RUNS" --export-json "$OUT/linenum.json" \
    -n linenum "'$LINENUM' '$INPUT' '$OUT/linenum.out'" \
    -n awk "'$AWK' '{printf \"%s%08d\\n\",\$0,NR-1}' '$INPUT' > '$OUT/awk.out'"
cmp -s "$OUT/linenum.out" "$OUT/awk.out" || { echo "linenum and awk outputs differ" >&2; exit 1; }

rm -f "$OUT/lintrim.out" "$OUT/fold.out" "$OUT/linenum.out" "$OUT/awk.out"
if [ "${LINEUTILS_BENCH_CLEAN:-0}" = 1 ]; then rm -f "$INPUT"; fi

python3 - "$OUT/lintrim.json" "$OUT/linenum.json" <<'PY'
import json, sys
print("\nSummary (mean wall time of the same run):")
ok = True
for path in sys.argv[1:]:
    ours, theirs = json.load(open(path))["results"]
    ratio = theirs["mean"] / ours["mean"]
    ok = ok and ratio >= 1.0
    print(f"  {ours['command']:8s} {ours['mean']:7.3f} s +- {ours['stddev']:.3f}   "
          f"{theirs['command']:5s} {theirs['mean']:7.3f} s +- {theirs['stddev']:.3f}   "
          f"{ours['command']} is {ratio:.2f} times as fast as {theirs['command']}")
print("  goal (each at least as fast as its counterpart):", "met" if ok else "NOT met")
PY

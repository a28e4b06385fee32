#!/usr/bin/env bash
# A learned acceptance of the fixed-width finder's boundary candidates, judged by leaving one
# set out (bench/fixedwidth_learn.py), beside the finder's own rules.
#
#     bash bench/fixedwidth_learn.sh BUILD_DIR [--model lr|trees] [--neighbours] [--importance]
#
# Runs bench/fixedwidth.sh first (it writes the files of known widths and counts the rules'
# boundaries, which the figures here must match), then what the finder sees at each position
# of every file (BUILD_DIR/bench/fixedwidth_seen) is labelled from the truth files and learned
# from. Needs Debian's python3-sklearn besides what bench/fixedwidth.sh needs (tools/install-deps.sh bench). Never part of CI.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/common.sh"
BUILD=$(cd "${1:-build}" && pwd)
shift || true
CORPUS=${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus}
PYTHON=/usr/bin/python3

bench_require fixedwidth_learn "$PYTHON" "$BUILD/bench/fixedwidth_seen"
"$PYTHON" -c "import sklearn" 2>/dev/null ||
    { echo "fixedwidth_learn bench: sklearn not found (tools/install-deps.sh bench)" >&2; exit 1; }
RULES=$(mktemp)
trap 'rm -f "$RULES"' EXIT
bash "$HERE/fixedwidth.sh" "$BUILD" > "$RULES"
"$PYTHON" -W ignore "$HERE/fixedwidth_learn.py" "$CORPUS/fixedwidth" "$BUILD/bench/fixedwidth_seen" \
    --bench-output "$RULES" "$@"

#!/usr/bin/env bash
# Draws every window of the desktop programs offscreen into PNG pictures.
# Usage: tools/screenshots.sh OUTDIR [BUILD_DIR]
set -euo pipefail
out=${1:?usage: tools/screenshots.sh OUTDIR [BUILD_DIR]}
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${2:-$root/build}
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
# Each program draws its windows with --screenshots DIR and exits.
for program in app/morvex tallymor/tallymor setup/morvexsetup; do
    if [[ -x "$build/$program" ]]; then
        (cd "$root" && "$build/$program" --screenshots "$out")
    else
        echo "screenshots: $build/$program is not built" >&2
        exit 1
    fi
done
ls "$out"/*.png

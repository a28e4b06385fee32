#!/usr/bin/env bash
# Draws every window of the desktop programs offscreen (the PostgreSQL connection dialog
# included, as morvex-pgload.png) into PNG pictures, for the two screens the
# programs must fit: OUTDIR/1280x800 and OUTDIR/1024x768.
# Usage: tools/screenshots.sh OUTDIR [BUILD_DIR]
set -euo pipefail
out=${1:?usage: tools/screenshots.sh OUTDIR [BUILD_DIR]}
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${2:-$root/build}
export QT_QPA_PLATFORM=offscreen
# Each program draws its windows with --screenshots DIR and exits; MORVEX_SCREEN_SIZE gives the
# screen they are drawn for.
for size in 1280x800 1024x768; do
    mkdir -p "$out/$size"
    for program in app/morvex tallymor/tallymor setup/morvexsetup; do
        if [[ -x "$build/$program" ]]; then
            (cd "$root" && MORVEX_SCREEN_SIZE=$size "$build/$program" --screenshots "$out/$size")
        else
            echo "screenshots: $build/$program is not built" >&2
            exit 1
        fi
    done
done
ls "$out"/*/*.png

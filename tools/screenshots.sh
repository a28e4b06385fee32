#!/usr/bin/env bash
# Draws every window of the desktop programs offscreen (the PostgreSQL connection dialog
# included, as morvex-pgload.png, and, against a throw-away server, the outcome of a load into
# it, morvex-pgload-outcome.png, and the query tool on it, morvex-query-postgresql.png) into PNG
# pictures, for the two screens the
# programs must fit: OUTDIR/1280x800 and OUTDIR/1024x768.
# Usage: tools/screenshots.sh OUTDIR [BUILD_DIR]
set -euo pipefail
out=${1:?usage: tools/screenshots.sh OUTDIR [BUILD_DIR]}
root="$(cd "$(dirname "$0")/.." && pwd)"
build=${2:-$root/build}
export QT_QPA_PLATFORM=offscreen
# The PostgreSQL pictures (the outcome of a real load, the query tool on the loaded table) need
# a server: the script runs again inside a throw-away cluster (pg_virtualenv, one cluster at a
# time on the machine under the tests' lock) and hands the programs its connection string.
if [[ -z "${MORVEX_SCREENSHOT_POSTGRESQL:-}" ]] && command -v pg_virtualenv > /dev/null; then
    exec flock /tmp/morvex-fylatek-postgres.lock pg_virtualenv bash -c \
        'MORVEX_SCREENSHOT_POSTGRESQL="dbname=$PGDATABASE" exec bash "$0" "$@"' "$0" "$out" "$build"
fi
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

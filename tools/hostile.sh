#!/usr/bin/env bash
# The hostile checks: every executable tools/hostile.d/*.sh runs with
#   BUILD  the build folder (default "build"; as an absolute path),
#   WORK   a fresh scratch folder of its own, removed afterwards,
#   FAST   1 with --fast (the case files then skip their slowest inputs), else 0.
# A case file prints one line per case, "held: <name>" or "FAILED: <name>: <reason>", and exits
# 0. This runner prints every line, then "held N/M", and exits non-zero when a case failed, a
# case file exited non-zero, or no case ran.
#
#   tools/hostile.sh [--fast] [BUILD]
set -uo pipefail

fast=0
build=""
for arg in "$@"; do
    case "$arg" in
        --fast) fast=1 ;;
        -h|--help)
            sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
            exit 0
            ;;
        *) build="$arg" ;;
    esac
done
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${build:-${BUILD:-build}}
case "$build" in
    /*) ;;
    *) build="$root/$build" ;;
esac

held=0
total=0
status=0
for file in "$here"/hostile.d/*.sh; do
    [ -x "$file" ] || continue
    work=$(mktemp -d "${TMPDIR:-/tmp}/hostile.XXXXXX")
    output=$(cd "$root" && BUILD="$build" WORK="$work" FAST="$fast" "$file" 2>"$work.stderr")
    code=$?
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
    while IFS= read -r line; do
        case "$line" in
            "held: "*) held=$((held + 1)); total=$((total + 1)); echo "$line" ;;
            "FAILED: "*) total=$((total + 1)); status=1; echo "$line" ;;
            "") ;;
            *) echo "  $line" ;;
        esac
    done <<<"$output"
    if [ "$code" -ne 0 ]; then
        echo "FAILED: $(basename "$file"): le fichier de cas s'est terminé avec le statut $code"
        sed 's/^/  /' "$work.stderr" | tail -n 20
        status=1
    fi
    rm -f "$work.stderr"
done
echo "held $held/$total"
[ "$total" -gt 0 ] || status=1
exit "$status"

#!/bin/bash
# Runs the same morvexcli commands with two builds over files other projects publish and says
# which outputs differ: the description written by an analysis then edited (key, index, moves,
# a column dropped and one added), `show` and `show --json`, `convert`, a SQLite load (its log,
# rejects and the database dump with the catalogue), the SQL Server scripts and every bundled
# template. The zone tables are read without their comment lines. Both builds run in the same
# folder, one after the other, so that paths are equal; build dates, generation times and load
# speeds are left out.
#   bash tools/compare-outputs.sh NEW_MORVEXCLI OLD_MORVEXCLI
# KEEP=1 keeps the temporary folder (its path is printed) to look at the outputs.
# Status 0 when every output is the same, 1 otherwise. Writes only into a temporary folder.
set -u
NEW=$(realpath "$1")
OLD=$(realpath "$2")
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
WORK=$(mktemp -d)
if [ -n "${KEEP:-}" ]; then echo "$WORK"; else trap 'rm -rf "$WORK"' EXIT; fi
export HOME="$WORK/home"
mkdir -p "$HOME"

FILES="/usr/share/distro-info/debian.csv /usr/share/distro-info/ubuntu.csv
/usr/share/zoneinfo/zone1970.tab /usr/share/zoneinfo/zone.tab $SOURCE/examples/clients.csv"
OUTPUTS="edited.fyk edit.out show.txt show.json conv.fyk rejects.csv load.out dump.sql mssql.out
generated.txt"

# Runs every command with morvexcli $1 in folder $2 over description $2/a.fyk and data $3;
# the columns to edit are $4 (codes, comma-separated).
runAll() {
    local bin=$1 run=$2 data=$3 columns
    IFS=, read -ra columns <<< "$4"
    local n=${#columns[@]}
    "$bin" -q edit "$run/a.fyk" --pk "${columns[0]}" --index IX_A "${columns[1]},${columns[2]}" \
        --move "${columns[2]}" 1 --move "${columns[0]}" "$n" --drop "${columns[$((n - 2))]}" \
        --add NOUVELLE 2 --index IX_B "${columns[0]}" --drop-index IX_B > "$run/edit.out" 2>&1
    cp "$run/a.fyk" "$run/edited.fyk"
    "$bin" show "$run/a.fyk" > "$run/show.txt" 2>&1
    "$bin" show --json "$run/a.fyk" > "$run/show.json" 2>&1
    "$bin" -q convert "$run/a.fyk" "$run/conv.fyk" > /dev/null 2>&1
    "$bin" -q load "$run/a.fyk" --data "$data" --rejects "$run/rejects.csv" "$run/db.sqlite" 2>&1 |
        sed 's/ en [0-9.]* s ([0-9.]* lignes \/ s)//' > "$run/load.out"
    # The analysed description too, whose rows all fit.
    "$bin" -q load "$run/b.fyk" --data "$data" --table ANALYSEE "$run/db.sqlite" 2>&1 |
        sed 's/ en [0-9.]* s ([0-9.]* lignes \/ s)//' >> "$run/load.out"
    sqlite3 "$run/db.sqlite" .dump > "$run/dump.sql" 2>&1
    (cd "$run" && "$bin" -q mssql all "$run/a.fyk" > "$run/mssql.out" 2>&1
     for f in "$run"/*.sql "$run"/*.fmt; do
         [ -f "$f" ] && { echo "== $(basename "$f")"; grep -v -E "Date de la version|Généré le" "$f"; }
     done >> "$run/mssql.out")
    for t in "$SOURCE"/templates/*.tpl; do
        "$bin" -q generate "$run/a.fyk" --template "$t" --out "$run/gen" > /dev/null 2>&1
    done
    (cd "$run/gen" 2>/dev/null && find . -type f | sort |
         while read -r g; do echo "== $(basename "$g")"; cat "$g"; done) > "$run/generated.txt"
}

compared=0
differ=0
i=0
for file in $FILES; do
    i=$((i + 1))
    dir="$WORK/f$i"
    mkdir -p "$dir"
    grep -v '^#' "$file" > "$dir/data.txt"  # the zone tables' comment lines left out
    if ! "$NEW" -q analyse --all "$dir/data.txt" -o "$dir/base.fyk" > /dev/null 2>&1; then
        echo "analyse a échoué : $file"
        differ=$((differ + 1))
        continue
    fi
    codes=$("$NEW" show --json "$dir/base.fyk" |
        /usr/bin/python3 -c 'import json,sys; print(",".join(c["code"] for c in json.load(sys.stdin)["columns"]))')
    for side in new old; do
        bin=$NEW
        [ "$side" = old ] && bin=$OLD
        run="$dir/run"
        mkdir -p "$run"
        cp "$dir/base.fyk" "$run/a.fyk"
        cp "$dir/base.fyk" "$run/b.fyk"
        runAll "$bin" "$run" "$dir/data.txt" "$codes"
        mv "$run" "$dir/$side"
    done
    for o in $OUTPUTS; do
        compared=$((compared + 1))
        if ! cmp -s "$dir/old/$o" "$dir/new/$o"; then
            differ=$((differ + 1))
            echo "DIFFÉRENT : $file $o"
            diff "$dir/old/$o" "$dir/new/$o" | head -5
        fi
    done
done
echo "$compared sorties comparées, $differ différentes"
[ "$differ" -eq 0 ]

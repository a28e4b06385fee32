#!/bin/bash
# Analyses every file of a corpus with two builds (`morvexcli analyse FILE --all`) and says
# which descriptions or reports differ, byte for byte: the description written, what the
# command printed (the summary, the notes and warnings on standard error) and its status. The
# description's identifier, drawn at random at each analysis, is left out.
#   bash tools/compare-analyses.sh NEW_MORVEXCLI OLD_MORVEXCLI [FOLDER]
# FOLDER defaults to the corpus bench/corpus.sh gathers
# (${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus}/files); every regular file under it is
# analysed. Both builds read the same path, one after the other. Status 0 when every file gives
# the same outputs, 1 otherwise. Writes only into a temporary folder.
set -u
NEW=$(realpath "$1")
OLD=$(realpath "$2")
FOLDER=${3:-${MORVEX_CORPUS_DIR:-$HOME/.cache/morvex-corpus}/files}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export MORVEX_CONFIG_DIR="$WORK/config"
mkdir -p "$MORVEX_CONFIG_DIR"

# Analyses $2 with morvexcli $1 into $3.fyk, $3.out (both output streams and the status). The
# description is written under one name for both builds, which the summary prints.
analyse() {
    local status
    rm -f "$WORK/a.fyk"
    timeout 120 "$1" --log /dev/null analyse "$2" --all -o "$WORK/a.fyk" > "$3.out" 2>&1
    status=$?
    echo "statut $status" >> "$3.out"
    [ -f "$WORK/a.fyk" ] || : > "$WORK/a.fyk"
    sed -e '/^\t*FILEDESCUID=/d' "$WORK/a.fyk" > "$3.fyk"
    sed -i -e '/^Identifiant  *:/d' "$3.out"
}

compared=0
differ=0
while IFS= read -r -d '' file; do
    compared=$((compared + 1))
    rm -f "$WORK"/new.* "$WORK"/old.*
    analyse "$NEW" "$file" "$WORK/new"
    analyse "$OLD" "$file" "$WORK/old"
    for kind in fyk out; do
        if ! cmp -s "$WORK/old.$kind" "$WORK/new.$kind"; then
            differ=$((differ + 1))
            echo "DIFFÉRENT : $file ($kind)"
            diff "$WORK/old.$kind" "$WORK/new.$kind" | head -6
            break
        fi
    done
done < <(find -L "$FOLDER" -type f -print0 | sort -z)
echo "$compared fichiers analysés par les deux versions, $differ différents"
[ "$differ" -eq 0 ]

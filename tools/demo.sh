#!/usr/bin/env bash
# The main job on the bundled examples:
#  1. describe a delimited export by analysing it, with no option: encoding, end of line,
#     delimiter and quoting are read from the file, columns and types inferred from the values,
#  2. read it back through that description (the split rows, the line count),
#  3. load it into an SQLite database with its catalogue tables, and query it,
#  4. cut a one-line fixed-width export into its 59-character records and number them.
set -euo pipefail
BUILD=${1:-build}
OUT=${DEMO_OUT:-$BUILD/demo}
CLI="$BUILD/cli/morvexcli"
mkdir -p "$OUT"

echo "=== morvexcli analyse examples/clients.csv"
"$CLI" analyse examples/clients.csv -o "$OUT/clients.fyk"
echo
echo "=== morvexcli preview $OUT/clients.fyk"
"$CLI" preview "$OUT/clients.fyk"
echo
echo "=== morvexcli count $OUT/clients.fyk"
"$CLI" count "$OUT/clients.fyk"
echo
echo "=== morvexcli load $OUT/clients.fyk $OUT/clients.db"
rm -f "$OUT/clients.db"
"$CLI" load "$OUT/clients.fyk" "$OUT/clients.db"
echo
echo "=== morvexcli query $OUT/clients.db (the catalogue, then the loaded rows)"
"$CLI" query "$OUT/clients.db" "SELECT ColumnName, DataType, DataTypeFormat FROM FylatekFileDescColumn ORDER BY Position"
"$CLI" query "$OUT/clients.db" "SELECT VILLE, count(*) AS clients, sum(SOLDE) AS solde FROM clients GROUP BY VILLE ORDER BY solde DESC"
echo
echo "=== lintrim 59 examples/clients.txt, then linenum"
"$BUILD/lineutils/lintrim" 59 examples/clients.txt "$OUT/clients.txt"
echo
"$BUILD/lineutils/linenum" "$OUT/clients.txt" "$OUT/clients_numbered.txt"
echo
echo "--- $OUT/clients_numbered.txt"
cat "$OUT/clients_numbered.txt"

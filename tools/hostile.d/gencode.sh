#!/usr/bin/env bash
# Hostile cases of generated code: a received description (or template) must not be able to
# add a statement, a batch or a command to what the programs generate, nor run for ever.
#
# Environment: BUILD (the build folder: $BUILD/cli/morvexcli), WORK (a scratch folder of our
# own), FAST (1: the fast part only; every case here is fast). Prints one line per case,
# "held: <case>" or "FAILED: <case>: <reason>", and exits 0 whatever happened.
set -u

SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
CLI="$BUILD/cli/morvexcli"
TOOLS=${MORVEX_TEST_TOOLS_DIR:-/opt/morvex-test-tools}
mkdir -p "$WORK"
export MORVEX_CONFIG_DIR="$WORK/config"
mkdir -p "$MORVEX_CONFIG_DIR"

held() { echo "held: $1"; }
failed() { echo "FAILED: $1: $2"; }

# A description file (texts in the backslash notation) of a delimited file with header whose
# columns are the arguments (each a NAME= value as the file writes it), over $WORK/<case>/data.csv.
describe() {
    local dir=$1 table=$2
    shift 2
    {
        printf 'BEGIN MorvexFylatek\r\n\tFILEVERSION=1.5\r\n\tBEGIN File\r\n'
        printf '\t\tPROJECTNAME=hostile\r\n\t\tTABLENAME=%s\r\n' "$table"
        printf '\t\tTYPESTRUCTFILE=2\r\n\t\tFIRSTLINEISHEADER=1\r\n\t\tBEGINFROMLINE=1\r\n'
        printf '\t\tINDFINDELIGNE=\\r\\n\r\n\t\tFIELDDELIMITER=;\r\n'
        printf '\t\tFICHIEREXEMPLE=%s\r\n' "$dir/data.csv"
        local name
        for name in "$@"; do
            printf '\t\tBEGIN Column\r\n\t\t\tNAME=%s\r\n\t\t\tLARGEUR=10\r\n' "$name"
            printf '\t\t\tTYPE_CIBLE=5\r\n\t\t\tFMT_CIBLE=10\r\n\t\tEND Column\r\n'
        done
        printf '\tEND File\r\nEND MorvexFylatek'
    } >"$dir/desc.fyk"
}

# Lines of a file that the SQL Server client tools read as a batch separator.
separators() { tr -d '\r' <"$1" | grep -ciE '^[[:space:]]*go([[:space:]]+[0-9]+)?[[:space:]]*$'; }

# ---- A column name holding CR LF GO CR LF in the SQL Server INSERT script ----
case_insert_go() {
    local name="mssql insert script: column name with CR LF GO CR LF" dir="$WORK/insert-go"
    mkdir -p "$dir"
    printf 'ID;X\r\n1;a\r\n2;b\r\n' >"$dir/data.csv"
    describe "$dir" T 'ID' 'a\r\nGO\r\nDROP TABLE victim1\r\n--'
    "$CLI" mssql insert "$dir/desc.fyk" "$dir/out.sql" >"$dir/stdout" 2>"$dir/stderr"
    local rc=$?
    if [[ ! -e $dir/out.sql ]]; then
        if [[ $rc -ne 0 ]] && grep -q "contient un retour chariot" "$dir/stderr"; then
            held "$name"
        else
            failed "$name" "refused without naming the column (exit $rc): $(head -c 300 "$dir/stderr")"
        fi
    elif [[ $(separators "$dir/out.sql") -ne 2 ]]; then
        failed "$name" "$(separators "$dir/out.sql") GO lines for 2 rows"
    elif grep -q '^DROP TABLE victim1' "$dir/out.sql"; then
        failed "$name" "a line of the script drops victim1"
    else
        held "$name"
    fi
}

# ---- Unquoted names in the BULK INSERT and update scripts ----
case_bulk_unquoted() {
    local name="mssql bulk and update scripts: column name that closes the statement"
    local dir="$WORK/bulk-names"
    mkdir -p "$dir"
    printf 'A;B\r\n1;2\r\n' >"$dir/data.csv"
    describe "$dir" T 'a int); DROP TABLE victim1; CREATE TABLE z (b' 'x]y'
    if ! "$CLI" mssql all "$dir/desc.fyk" --database 'B]ase' --table "t'ab" \
        --format-file "$dir/f.fmt" --bulk-script "$dir/bulk.sql" \
        --update-script "$dir/update.sql" >"$dir/stdout" 2>"$dir/stderr"; then
        failed "$name" "generation failed: $(head -c 300 "$dir/stderr")"
        return
    fi
    local script
    for script in bulk update; do
        local f="$dir/$script.sql"
        # No line of either script may start a statement of its own with the name's text.
        if tr -d '\r' <"$f" | grep -qE '(^|[^[])DROP TABLE victim1'; then
            if ! tr -d '\r' <"$f" | grep -q '\[a int); DROP TABLE victim1; CREATE TABLE z (b\]'; then
                failed "$name" "$script script names the column unquoted"
                return
            fi
        fi
    done
    # The batches that create and fill the table, through the T-SQL parser of the tests.
    if command -v node >/dev/null && [[ -e $TOOLS/tsql/node_modules/node-sql-parser ]]; then
        tr -d '\r' <"$dir/update.sql" | awk '
            /^CREATE TABLE|^INSERT INTO/ { on = 1 }
            on { print }
            on && /^GO$/ { on = 0 }' >"$dir/batches.sql"
        local statements
        statements=$(node "$SRC/mssql/tests/tsql/check.mjs" "$TOOLS/tsql" "$dir/batches.sql" \
            --statements 2>&1)
        if ! grep -q '^batch 1: create |' <<<"$statements" ||
            ! grep -q '^batch 2: insert |' <<<"$statements" ||
            ! grep -q '^ok 2$' <<<"$statements"; then
            failed "$name" "the update script's batches are not one CREATE and one INSERT: $statements"
            return
        fi
    fi
    held "$name"
}

# Generates the bundled template $2 for the description in $1 (no --allow-exec); the output
# path on standard output.
generate() {
    local dir=$1 tpl=$2
    "$CLI" generate "$dir/desc.fyk" --template "$SRC/templates/$tpl" \
        --libraries "$SRC/templates/lib" --out "$dir/out" >"$dir/gen.out" 2>"$dir/gen.err" || return 1
    find "$dir/out" -type f -newer "$dir/desc.fyk" | head -1
}

# Makes the folder $2 with a data file of two columns and the description of table $4 with
# the columns $5..., then generates the bundled template $3 for it; the output path in $out, or
# a FAILED line for case $1 and status 1.
prepare() {
    local name=$1 dir=$2 tpl=$3
    shift 3
    rm -rf "$dir" && mkdir -p "$dir"
    printf 'A;B\r\n1;2\r\n' >"$dir/data.csv"
    describe "$dir" "$@"
    if ! out=$(generate "$dir" "$tpl") || [[ -z $out ]]; then
        failed "$name" "generation failed: $(head -c 300 "$dir/gen.err")"
        return 1
    fi
}

# ---- The SQLite DDL template with a double quote in a column name ----
case_sqlite_ddl() {
    local name="sqlite ddl template: double quote in a column name"
    local dir="$WORK/sqlite-ddl" out
    prepare "$name" "$dir" sqlite_ddl.tpl 'odd"table' \
        'x" TEXT); DROP TABLE victim1; CREATE TABLE "y' 'B' || return
    local sql=$out db="$dir/h.db"
    sqlite3 "$db" 'CREATE TABLE victim1 (v)'
    if ! sqlite3 "$db" <"$sql" 2>"$dir/sqlite.err"; then
        failed "$name" "sqlite3 refused the script: $(head -c 300 "$dir/sqlite.err")"
        return
    fi
    local tables
    tables=$(sqlite3 "$db" "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")
    if [[ $tables != $'odd"table\nvictim1' ]]; then
        failed "$name" "tables after the script: $(tr '\n' ',' <<<"$tables")"
    elif [[ $(sqlite3 "$db" "SELECT name FROM pragma_table_info('odd\"table') LIMIT 1") != \
        'x" TEXT); DROP TABLE victim1; CREATE TABLE "y' ]]; then
        failed "$name" "the column does not carry the odd name"
    else
        held "$name"
    fi
}

# ---- The Python reader template with a double quote in a name ----
case_python_reader() {
    local name="python reader template: double quote and shell text in names"
    local dir="$WORK/python-reader" out
    # shellcheck disable=SC2016 # the shell text is the name itself, never expanded
    prepare "$name" "$dir" python_reader.tpl 't"""; import os; os.system("touch PWNED1"); """' \
        '"); __import__("os").system("touch PWNED2"); ("' '$(touch PWNED3)`touch PWNED4`' || return
    local py=$out
    (cd "$dir" && timeout 30 python3 "$py" "$dir/data.csv" >"$dir/py.out" 2>"$dir/py.err")
    local rc=$?
    if ls "$dir"/PWNED* >/dev/null 2>&1 || ls PWNED* >/dev/null 2>&1; then
        failed "$name" "the generated program ran a command"
    elif [[ $rc -ne 0 ]]; then
        failed "$name" "the generated program fails (exit $rc): $(tail -c 300 "$dir/py.err")"
    elif ! grep -qF "('\"); __import__(\"os\").system(\"touch PWNED2\"); (\"', '1')" "$dir/py.out"; then
        failed "$name" "the record does not carry the odd name: $(head -c 300 "$dir/py.out")"
    else
        held "$name"
    fi
}

# ---- A template that generates itself ten times per level ----
case_self_generating() {
    local name="template that generates itself ten times per level"
    local dir="$WORK/self-generating"
    rm -rf "$dir" && mkdir -p "$dir"
    printf 'A\r\n1\r\n' >"$dir/data.csv"
    describe "$dir" T 'A'
    {
        printf '%%templatetype MorvexFylatek.Template\n%%targetfilename self.txt\n'
        for _ in 1 2 3 4 5 6 7 8 9 10; do printf '%%template.generate %s\n' "$dir/self.tpl"; done
        printf 'x\n'
    } >"$dir/self.tpl"
    timeout 120 "$CLI" generate "$dir/desc.fyk" --template "$dir/self.tpl" --out "$dir/out" \
        >"$dir/gen.out" 2>"$dir/gen.err"
    local rc=$?
    if [[ $rc -eq 124 ]]; then
        failed "$name" "still running after 120 s"
    elif [[ $rc -eq 0 ]]; then
        failed "$name" "reported as a success"
    elif ! grep -q "la génération est arrêtée" "$dir/gen.out" "$dir/gen.err"; then
        failed "$name" "stopped without saying why: $(head -c 300 "$dir/gen.err")"
    else
        held "$name"
    fi
}

if [[ ! -x $CLI ]]; then
    for c in "mssql insert script: column name with CR LF GO CR LF" \
        "mssql bulk and update scripts: column name that closes the statement" \
        "sqlite ddl template: double quote in a column name" \
        "python reader template: double quote and shell text in names" \
        "template that generates itself ten times per level"; do
        failed "$c" "no $CLI"
    done
    exit 0
fi
case_insert_go
case_bulk_unquoted
case_sqlite_ddl
case_python_reader
case_self_generating
exit 0

#!/usr/bin/env bash
# The bash completion of morvexcli against the built program: commands, sub-commands, options,
# .fyk files where a description is expected, any file for an option's value.
#   completion_test.sh COMPLETION_FILE MORVEXCLI
set -o pipefail  # not -u: bash-completion itself reads unset variables
COMPLETION=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
MORVEXCLI=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
export MORVEXCLI
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fail() { echo "ÉCHEC : $*" >&2; exit 1; }

source /usr/share/bash-completion/bash_completion || fail "bash-completion absent"
source "$COMPLETION"
cd "$TMP" && touch a.fyk b.csv && mkdir sub

# The completions offered for the command line $1 (the cursor at its end).
offered() {
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _morvexcli morvexcli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {  # expect LINE WORD...: every WORD is offered
    local line=$1 got
    shift
    got=$(offered "$line")
    for w in "$@"; do grep -qx -- "$w" <<<"$got" || fail "« $line » ne propose pas $w (propose : $got)"; done
}
refuse() {  # refuse LINE WORD...: no WORD is offered
    local line=$1 got
    shift
    got=$(offered "$line")
    for w in "$@"; do ! grep -qx -- "$w" <<<"$got" || fail "« $line » propose $w"; done
}

expect "morvexcli " show analyse load generate query edit mssql
expect "morvexcli ge" generate
refuse "morvexcli ge" load
expect "morvexcli load " a.fyk sub
refuse "morvexcli load " b.csv
expect "morvexcli load a.fyk " b.csv a.fyk
expect "morvexcli load --" --data --table --rejects
expect "morvexcli load a.fyk x.db --data " b.csv
expect "morvexcli generate " a.fyk
refuse "morvexcli generate " b.csv
expect "morvexcli generate a.fyk --" --template --out --allow-exec
expect "morvexcli mssql " insert all
expect "morvexcli mssql insert " a.fyk
expect "morvexcli process " list a.fyk
expect "morvexcli --" --help --version --log
echo OK

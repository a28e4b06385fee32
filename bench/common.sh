# Shared by the benchmark scripts (sourced).

# bench_require NAME TOOL...: stops with a message when a tool is missing.
bench_require() {
    local name=$1 tool
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$name bench: $tool not found" >&2; exit 1; }
    done
}

# bench_input DIR ROWS: the generated delimited file of ROWS rows in DIR (made once, kept for
# reuse); prints its path.
bench_input() {
    local dir=$1 rows=$2 here
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    local input="$dir/delimited_${rows}.txt"
    mkdir -p "$dir"
    if [ ! -s "$input" ]; then
        echo "Generating $input ..." >&2
        python3 "$here/gen_delimited.py" "$rows" "$input.part"
        mv "$input.part" "$input"
    fi
    echo "$input"
}

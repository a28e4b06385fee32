#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in BUILD and runs each for SECONDS on a copy of its
# seed corpus (the source tree is never written); crashing inputs go to BUILD/fuzz/TARGET/.
#   tools/fuzz.sh BUILD SECONDS [TARGET...]   (all targets when none is named)
# Prints one line per run: target, seconds, executions, result. Exits 1 when a run failed.
set -euo pipefail

BUILD="${1:?build folder}"
SECONDS_EACH="${2:?seconds per target}"
shift 2
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# target  binary (in BUILD)  seed corpus (in the source tree)
ALL=(
  "fuzz_settings     foundation/fuzz_settings      foundation/fuzz/corpus"
  "fuzz_readnext     datafile/fuzz_readnext        datafile/fuzz/corpus"
  "fuzz_loadfromfile filedesc/fuzz_loadfromfile    filedesc/fuzz/corpus"
  "fuzz_datadicxml   datadic/fuzz_datadicxml       datadic/fuzz/corpus"
  "fuzz_calc         calc/fuzz_calc                calc/fuzz/corpus"
  "fuzz_template     template/fuzz_template        template/fuzz/corpus"
  "fuzz_textimport   appcore/fuzz_textimport      appcore/fuzz/corpus"
  "fuzz_manifest     setup/fuzz_manifest           setup/core/fuzz/corpus"
)

selected=()
for entry in "${ALL[@]}"; do
  read -r name _ _ <<<"$entry"
  if [ $# -eq 0 ] || printf '%s\n' "$@" | grep -qx "$name"; then selected+=("$entry"); fi
done
[ ${#selected[@]} -gt 0 ] || { echo "no such fuzz target: $*" >&2; exit 2; }

CC=clang CXX=clang++ cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMORVEX_FUZZ=ON -DMORVEX_TESTS=OFF >/dev/null
targets=()
for entry in "${selected[@]}"; do read -r name _ _ <<<"$entry"; targets+=("$name"); done
cmake --build "$BUILD" --target "${targets[@]}"

status=0
summary=()
for entry in "${selected[@]}"; do
  read -r name binary corpus <<<"$entry"
  work="$BUILD/fuzz/$name"
  mkdir -p "$work/corpus"
  cp -n "$HERE/$corpus"/* "$work/corpus/"
  log="$work/run.log"
  result="clean"
  if ! "$BUILD/$binary" -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=30 \
      -rss_limit_mb=2048 -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" \
      >"$log" 2>&1; then
    result="FAILED (see $log)"
    status=1
  fi
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  took="$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)"
  line="$name ${took:-?} s ${execs:-?} executions $result"
  echo "$line"
  summary+=("$line")
done
printf '%s\n' "${summary[@]}" >>"$BUILD/fuzz/runs.txt"
exit $status

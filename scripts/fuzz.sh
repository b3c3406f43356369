#!/usr/bin/env bash
# Runs the fuzz targets of the fuzz build: each for SECONDS (default 600),
# on its seed corpus (fuzz/corpus/NAME) and a growing corpus of its own in
# BUILD/corpus/NAME, then prints libFuzzer's figures (runs, coverage). Any
# crash stops it with the failing input saved in BUILD/crashes/NAME.
#   scripts/fuzz.sh [--build BUILD] [SECONDS] [NAME ...]     (BUILD: build/fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
if [ "${1:-}" = --build ]; then build=$2; shift 2; fi
seconds=${1:-600}
[ $# -gt 0 ] && shift
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  # The targets the build made, as it names them.
  list=$build/fuzz-targets.txt
  [ -f "$list" ] || { echo "fuzz.sh: no fuzz build in $build (cmake --preset fuzz && cmake --build --preset fuzz)" >&2; exit 2; }
  mapfile -t names <"$list"
fi
for name in "${names[@]}"; do
  program=$build/bin/fuzz-$name
  [ -x "$program" ] || { echo "fuzz.sh: $program is not built (cmake --build --preset fuzz)" >&2; exit 2; }
  corpus=$build/corpus/$name
  crashes=$build/crashes/$name
  mkdir -p "$corpus" "$crashes"
  echo "== fuzz-$name for $seconds s"
  log=$(mktemp)
  status=0
  "$program" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/" \
    "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  # The figures: runs, coverage, corpus, and any finding.
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units|^stat::peak_rss|ERROR|SUMMARY|Test unit written' "$log" || true
  if [ $status -ne 0 ]; then
    tail -n 60 "$log" >&2
    rm -f "$log"
    exit $status
  fi
  rm -f "$log"
done

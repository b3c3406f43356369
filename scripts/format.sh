#!/usr/bin/env bash
# Checks the C++ sources (the product, tests, bench and fuzz) against
# .clang-format, or rewrites them.
#   scripts/format.sh            lists the files that differ, exit 1 if any
#   scripts/format.sh --apply    rewrites them in place
#   scripts/format.sh --count    the lines a rewrite would change
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-check}
case $mode in
  check | --apply | --count) ;;
  *) echo "usage: scripts/format.sh [--apply | --count]" >&2; exit 2 ;;
esac
command -v clang-format >/dev/null ||
  { echo "format.sh: no clang-format (Debian package clang-format)" >&2; exit 2; }

# Everything tracked, so build folders and generated files stay out.
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
case $mode in
  --apply) clang-format -i "${files[@]}" ;;
  --count)
    removed=0 added=0 differ=0
    for f in "${files[@]}"; do
      diff=$(clang-format "$f" | diff "$f" - || true)
      [ -n "$diff" ] || continue
      differ=$((differ + 1))
      removed=$((removed + $(grep -c '^< ' <<<"$diff" || true)))
      added=$((added + $(grep -c '^> ' <<<"$diff" || true)))
    done
    echo "$differ of ${#files[@]} files differ: $removed lines would go, $added come"
    ;;
  check)
    differ=0
    for f in "${files[@]}"; do
      if ! clang-format --dry-run -Werror "$f" 2>/dev/null; then
        echo "$f"
        differ=1
      fi
    done
    exit $differ
    ;;
esac

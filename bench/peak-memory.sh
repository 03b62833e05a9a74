#!/bin/bash
# Peak resident memory of the tool per file and output mode, against the bound the tool keeps
# when it streams (twice the input plus 32 MB).
#
#   bench/peak-memory.sh [-z ZVWORD] FILE...
set -euo pipefail
zvword=${ZVWORD:-build-bench/zvword}
if [ "${1:-}" = -z ]; then zvword=$2; shift 2; fi
[ $# -ge 1 ] || { sed -n '2,6p' "$0"; exit 2; }
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
printf '%-36s %9s %9s %9s %9s %9s\n' file "input MB" "plain MB" "rtf MB" "html MB" "bound MB"
for f in "$@"; do
  size=$(stat -c %s "$f")
  row=$(printf '%-36s %9.1f' "$(basename "$f" | cut -c1-36)" "$(echo "$size / 1048576" | bc -l)")
  for mode in plain rtf html; do
    /usr/bin/time -o "$tmp" -f '%M' "$zvword" -f "$mode" "$f" >/dev/null 2>&1 || true
    kb=$(tail -1 "$tmp")
    row="$row $(printf '%9.1f' "$(echo "$kb / 1024" | bc -l)")"
  done
  printf '%s %9.1f\n' "$row" "$(echo "2 * $size / 1048576 + 32" | bc -l)"
done

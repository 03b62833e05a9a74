#!/bin/sh
# Times zvword against docx2txt (and pandoc when installed) on the Word 2007+ documents of the
# corpus and on one large document given as $2. CPU seconds (user + system, children included)
# are compared, since wall time on a shared machine says little.
# usage: bench/compare_docx.sh [CORPUS_DIR] [LARGE.docx]
set -eu
corpus=${1:-../shared/corpus}
large=${2:-}
zv=${ZVWORD:-build/zvword}
files=$(ls "$corpus"/real/docx/*.docx "$corpus"/generated/*.docx | tr "\n" " ")
cpu() { /usr/bin/time -f "%U %S" sh -c "$1" 2>&1 >/dev/null | tail -1 | awk '{print $1 + $2}'; }
report() {
  label=$1; shift
  z=$(cpu "$1"); d=$(cpu "$2")
  printf '%-8s zvword %6.2f s   docx2txt %6.2f s   ratio %5.1fx\n' "$label" "$z" "$d" "$(echo "$d / $z" | bc -l)"
  if [ -n "${3:-}" ] && command -v pandoc >/dev/null; then
    p=$(cpu "$3"); printf '%-8s pandoc %6.2f s   ratio %5.1fx\n' "$label" "$p" "$(echo "$p / $z" | bc -l)"
  fi
}
report corpus "for f in $files; do $zv \"\$f\" >/dev/null 2>&1 || true; done" \
  "for f in $files; do docx2txt \"\$f\" - >/dev/null 2>&1 || true; done" \
  "for f in $files; do timeout 60 pandoc \"\$f\" -t plain >/dev/null 2>&1 || true; done"
if [ -n "$large" ]; then
  report large "$zv $large" "docx2txt $large -"
fi

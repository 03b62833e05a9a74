#!/bin/bash
# Rebuilds the PalmDoc and Peanut books of samples/ from their UTF-8 sources (needs txt2pdbdoc).
set -euo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for src in samples/*.txt; do
  base=${src%.txt}
  iconv -f UTF-8 -t CP1252 "$src" > "$tmp/book.txt"
  title=$(head -n 1 "$src" | iconv -f UTF-8 -t ASCII//TRANSLIT | cut -c1-31)
  txt2pdbdoc "$title" "$tmp/book.txt" "$base.pdb" >/dev/null
  txt2pdbdoc -c "$title" "$tmp/book.txt" "$base-stored.pdb" >/dev/null
  python3 tools/samples/pdb2peanut.py "$base.pdb" "$base-peanut.pdb"
  python3 tools/samples/pdb2peanut.py "$base-stored.pdb" "$base-peanut-stored.pdb"
done

#!/bin/bash
# Makes large documents of each format from one long text, for bench/side-by-side.sh --all -l DIR.
#
#   bench/make-large.sh OUTDIR [COPIES]
#
# The text is the GPL repeated COPIES times (default 25: about 900 KB, some 300 pages). LibreOffice
# writes .odt/.doc/.docx/.pdf, pandoc .epub/.fb2, txt2pdbdoc .pdb. No free tool writes WordPerfect.
set -euo pipefail
[ $# -ge 1 ] || { sed -n '2,7p' "$0"; exit 2; }
out=$1
copies=${2:-25}
mkdir -p "$out"
src=/usr/share/common-licenses/GPL-3
txt=$out/large.txt
: > "$txt"
for _ in $(seq "$copies"); do cat "$src" >> "$txt"; done
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
lo() { soffice -env:UserInstallation=file://$profile --headless --convert-to "$1" --outdir "$out" "$2" >/dev/null; }
lo odt "$txt"
lo 'doc:MS Word 97' "$out/large.odt"
lo 'docx:MS Word 2007 XML' "$out/large.odt"
lo pdf "$out/large.odt"
pandoc -f markdown "$txt" -o "$out/large.epub"
pandoc -f markdown -t fb2 "$txt" -o "$out/large.fb2"
txt2pdbdoc large "$txt" "$out/large.pdb" >/dev/null
ls -l "$out"

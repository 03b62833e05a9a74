#!/bin/bash
# The HTML the tool writes for a styled OpenDocument text: tidy finds no errors in it, and headless
# Chromium shows every line of LibreOffice's own text export of the document.
#   render_html.sh ZVWORD DOCUMENT EXPECTED_TEXT
set -euo pipefail
zvword=$1 document=$2 expected=$3
for tool in chromium tidy python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed, so the rendered HTML was NOT checked (apt-get install $tool)" >&2
    exit 77
  fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$zvword" -f html -o "$tmp/page.html" "$document"
# tidy: 0 clean, 1 warnings only, 2 errors.
status=0
tidy -errors -q "$tmp/page.html" 2>"$tmp/tidy.txt" || status=$?
if [ "$status" -ge 2 ]; then
  echo "tidy found errors:" >&2
  cat "$tmp/tidy.txt" >&2
  exit 1
fi
chromium --headless --no-sandbox --disable-gpu --user-data-dir="$tmp/profile" --dump-dom "file://$tmp/page.html" \
  >"$tmp/dom.html" 2>/dev/null
python3 - "$tmp/dom.html" "$expected" <<'PY'
import html, re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
body = dom[dom.find("<body"):] if "<body" in dom else ""
body = re.sub(r"(?s)<style.*?</style>", "", body)
shown = " ".join(html.unescape(re.sub(r"<[^>]*>", " ", body)).split())
if not shown:
    sys.exit("the rendered page shows no text")
missing = []
for line in open(sys.argv[2], encoding="utf-8-sig"):
    line = " ".join(line.split())
    line = re.sub(r"^[\u2022\u25e6] ", "", line)
    if line and line not in shown:
        missing.append(line)
if missing:
    sys.exit("not shown by the browser: " + " | ".join(missing) + "\nshown: " + shown)
print("rendered text holds all", sum(1 for _ in open(sys.argv[2])), "lines")
PY

#!/bin/bash
# Makes the OpenDocument samples with LibreOffice (headless): samples/styles.odt from the page
# below (headings, lists, named and automatic styles, a table), its text as LibreOffice exports it
# (samples/styles.odt.txt), and samples/harbour.fodt, the flat form of samples/harbour.odt.
set -euo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/styles.html" <<'HTML'
<html><head><title>Workshop styles</title></head><body>
<h1>Workshop styles</h1>
<p>This page has <b>bold words</b>, <i>italic words</i> and <u>underlined words</u> in one paragraph.</p>
<h2>Tools to gather</h2>
<ol><li>a measuring tape<ol type="a"><li>metric marks</li><li>imperial marks</li></ol></li><li>two clamps &amp; a square</li></ol>
<ul><li>sharp pencil</li><li>spare blades<ul><li>for the knife</li></ul></li></ul>
<ol type="I" start="4"><li>fourth rule</li><li>fifth rule</li></ol>
<h3>Measures</h3>
<table border="1"><tr><td>Length</td><td>30 cm</td></tr><tr><td>Width</td><td>12 cm</td></tr></table>
<p>Fish &amp; chips &lt;3 after the work.</p>
</body></html>
HTML
soffice --headless --convert-to odt:writer8 --outdir "$tmp" "$tmp/styles.html" >/dev/null
cp "$tmp/styles.odt" samples/styles.odt
soffice --headless --convert-to txt:Text --outdir "$tmp" samples/styles.odt >/dev/null
cp "$tmp/styles.txt" samples/styles.odt.txt
soffice --headless --convert-to fodt --outdir samples samples/harbour.odt >/dev/null

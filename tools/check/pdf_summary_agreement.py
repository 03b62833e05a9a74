#!/usr/bin/python3
"""Compares zvword --summary with pdfinfo on the corpus PDFs: title, author, subject, keywords,
producer and the two dates. A field counts when either tool shows it.

usage: pdf_summary_agreement.py ZVWORD [CORPUS_DIR] [--show N]
"""
import glob
import os
import subprocess
import sys

zvword = sys.argv[1]
corpus = sys.argv[2] if len(sys.argv) > 2 and not sys.argv[2].startswith("--") else "/work/shared/corpus"
show = int(sys.argv[sys.argv.index("--show") + 1]) if "--show" in sys.argv else 15

passwords = {}
rows = [l.rstrip("\n").split("\t") for l in open(corpus + "/generated/manifest.tsv", encoding="utf-8")]
for r in rows[1:]:
    d = dict(zip(rows[0], r))
    if d["format"] == "pdf":
        passwords[d["file"]] = d.get("user_password", "")

FIELDS = [("Title", "Title"), ("Author", "Author"), ("Subject", "Subject"), ("Keywords", "Keywords"),
          ("Producer", "AppName"), ("CreationDate", "Created"), ("ModDate", "LastSaved")]


def parse(text):
    out = {}
    for line in text.splitlines():
        if ":" in line:
            k, v = line.split(":", 1)
            out.setdefault(k.strip(), v.strip())
    return out


files = sorted(glob.glob(corpus + "/real/pdf/*.pdf")) + sorted(glob.glob(corpus + "/generated/*.pdf"))
agree = total = extra = 0
per = {f: [0, 0] for f, _ in FIELDS}
diffs = []
for path in files:
    pw = passwords.get(os.path.basename(path), "")
    try:
        pi = subprocess.run(["pdfinfo", "-isodates", "-upw", pw, path], capture_output=True, timeout=30)
        zv = subprocess.run([zvword, "--summary", "-p", pw, path], capture_output=True, timeout=30)
    except subprocess.TimeoutExpired:
        continue
    if pi.returncode != 0:
        continue  # pdfinfo cannot read it: nothing to compare with
    p = parse(pi.stdout.decode("utf-8", "replace"))
    z = parse(zv.stdout.decode("utf-8", "replace"))
    for pf, zf in FIELDS:
        pv, zvv = p.get(pf, ""), z.get(zf, "")
        if pf.endswith("Date"):
            pv = pv[:19].replace("T", " ")
            # a date without seconds or time shows as the start of its period in both
        if not pv and not zvv:
            continue
        if not pv and zvv:
            extra += 1  # zvword found it where pdfinfo shows nothing (XMP)
            continue
        total += 1
        per[pf][1] += 1
        if pv == zvv:
            agree += 1
            per[pf][0] += 1
        else:
            diffs.append((os.path.relpath(path, corpus), pf, pv, zvv))
print("fields compared %d, agree %d (%.1f%%); zvword-only values (XMP) %d" % (total, agree, 100.0 * agree / max(total, 1), extra))
for f, (a, t) in per.items():
    print("  %-13s %4d / %4d" % (f, a, t))
for d in diffs[:show]:
    print("  DIFF %s %s: pdfinfo=%r zvword=%r" % d)

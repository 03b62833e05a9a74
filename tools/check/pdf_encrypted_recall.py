#!/usr/bin/python3
"""Decrypts every encrypted PDF of the generated corpus with each password it accepts (empty or
user, owner) and a wrong one, and scores zvword's words against pdftotext run with the same password.

usage: pdf_encrypted_recall.py ZVWORD [CORPUS_DIR]
"""
import collections
import re
import subprocess
import sys
import unicodedata

zvword = sys.argv[1]
corpus = sys.argv[2] if len(sys.argv) > 2 else "/work/shared/corpus"


def words(text):
    text = unicodedata.normalize("NFKC", text).casefold()
    return collections.Counter(re.findall(r"\w+", text))


def recall(ref, out):
    total = sum(ref.values())
    return 1.0 if total == 0 else sum(min(c, out[w]) for w, c in ref.items()) / total


rows = [l.rstrip("\n").split("\t") for l in open(corpus + "/generated/manifest.tsv", encoding="utf-8")]
head = rows[0]
worst = 1.0
for r in rows[1:]:
    d = dict(zip(head, r))
    if d["format"] != "pdf" or not d.get("encryption"):
        continue
    path = corpus + "/generated/" + d["file"]
    for kind, pw in (("user", d["user_password"]), ("owner", d["owner_password"])):
        flag = "-upw" if kind == "user" else "-opw"
        ref = subprocess.run(["pdftotext", flag, pw, path, "-"], capture_output=True).stdout.decode("utf-8", "replace")
        res = subprocess.run([zvword, "-p", pw, path], capture_output=True)
        rc = recall(words(ref), words(res.stdout.decode("utf-8", "replace")))
        worst = min(worst, rc)
        print("%-32s %-22s %-6s %-8r recall %.3f %s" % (d["file"], d["encryption"][:22], kind, pw, rc,
                                                        "" if res.returncode == 0 else res.stderr.decode()[:60]))
    bad = subprocess.run([zvword, "-p", "wrong-password", path], capture_output=True)
    msg = bad.stderr.decode("utf-8", "replace").strip()
    print("%-32s %-22s wrong  -> %s" % (d["file"], "", "ok" if "Password is not valid" in msg else "UNEXPECTED " + msg))
print("worst recall %.3f" % worst)

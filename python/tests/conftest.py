"""What the Python tests share: the checkout, the tool to compare with, the samples and corpus."""
import json
import os
import pathlib
import re
import subprocess

import pytest

ROOT = pathlib.Path(os.environ.get("ZVWORD_SOURCE_DIR") or pathlib.Path(__file__).resolve().parents[2])
CLI = os.environ.get("ZVWORD_CLI") or str(ROOT / "build" / "zvword")
SAMPLES = sorted(str(p) for p in (ROOT / "samples").iterdir() if p.suffix not in (".md", ".txt", ".py"))


def corpus_dir():
    """$ZVWORD_CORPUS_DIR, else shared/corpus beside the checkout or a folder above it. A run that
    cannot see the corpus fails rather than passing as if it had read it; "skip" skips on purpose."""
    env = os.environ.get("ZVWORD_CORPUS_DIR")
    if env == "skip":
        pytest.skip("corpus skipped (ZVWORD_CORPUS_DIR=skip)")
    found = pathlib.Path(env) if env else next(
        (d / "shared" / "corpus" for d in ROOT.parents if (d / "shared" / "corpus").is_dir()), None)
    if found is None or not found.is_dir():
        pytest.fail("no corpus at %s: set ZVWORD_CORPUS_DIR to the corpus folder, or to \"skip\" to run "
                    "without it" % (found or "shared/corpus above " + str(ROOT)))
    return found


def corpus_files(*folders):
    base = corpus_dir()
    return sorted(str(p) for f in folders for p in (base / f).rglob("*") if p.is_file())


def tool_json(files, *args):
    """{file: the tool's JSON record} of the files read with the options."""
    run = subprocess.run([CLI, "--json", "-j", "2", *args, "--files-from", "-"], input="\n".join(files) + "\n",
                         capture_output=True, text=True, errors="surrogateescape", check=False)
    records = {}
    for line in run.stdout.splitlines():
        r = json.loads(line)
        # The tool's hint is about its own options.
        r["error"] = r["error"] and re.sub(r" \(name a reader with --reader\)$", "", r["error"])
        records[r["file"]] = r
    assert len(records) == len(files), run.stderr
    return records


def readme_block(section, language):
    """The first code block of that language under the README's section heading."""
    text = (ROOT / "README.md").read_text(encoding="utf-8")
    part = text.split("\n## " + section + "\n", 1)[1].split("\n## ", 1)[0]
    return re.search(r"```" + language + r"\n(.*?)```", part, re.S).group(1)

"""zvword.extract and detect against the tool, on the samples and the corpus."""
import os
import threading
import time

import pytest

import zvword
from conftest import ROOT, SAMPLES, corpus_dir, corpus_files, readme_block, tool_json


def read(source, **kw):
    """(document, error message) of extract; the document holds the partial text on an error."""
    try:
        return zvword.extract(source, **kw), None
    except zvword.Error as e:
        return e.document, str(e)


def same_as_tool(record, doc, error, lists=False):
    assert (doc.format, doc.text, doc.properties, error) == (
        record["reader"], record["text"], record["summary"], record["error"]), record["file"]
    if lists:
        assert doc.lists == record["lists"], record["file"]


@pytest.mark.parametrize("tool_args, kwargs", [
    (["-f", "plain", "-l", "all"], {"format": "plain", "lists": ["all"]}),
    (["-f", "rtf", "-l", "all"], {"format": "rtf", "lists": ["all"]}),
    (["-f", "html", "-l", "all"], {"format": "html", "lists": ["all"]}),
    (["-l", "footnotes,headers"], {"lists": ["footnotes", "headers"]}),
    (["--max-length", "40"], {"max_length": 40}),
])
def test_samples_as_the_tool_reads_them(tool_args, kwargs):
    records = tool_json(SAMPLES, *tool_args)
    for path in SAMPLES:
        doc, error = read(path, **kwargs)
        same_as_tool(records[path], doc, error, lists=True)
        with open(path, "rb") as f:
            by_bytes, by_bytes_error = read(f.read(), name=os.path.basename(path), **kwargs)
        assert (by_bytes.text, by_bytes.lists, by_bytes_error) == (doc.text, doc.lists, error), path


def test_corpus_as_the_tool_reads_it():
    files = corpus_files("real", "generated")
    records = tool_json(files)
    for path in files:
        same_as_tool(records[path], *read(path))


def test_password():
    base = corpus_dir() / "generated"
    rows = [line.split("\t") for line in (base / "manifest.tsv").read_text(encoding="utf-8").splitlines()[1:]]
    rows = [(str(base / r[0]), r[13]) for r in rows if len(r) > 13 and r[13]]
    assert rows, "the manifest names no document with a user password"
    for path, password in rows:
        for given in (None, password):
            args = ["-p", given] if given else []
            same_as_tool(tool_json([path], *args)[path], *read(path, password=given))
        assert read(path, password=password)[1] is None and read(path)[1] is not None, path


@pytest.mark.parametrize("source, kwargs, error, message", [
    (b"not a document", {}, zvword.Error, "Unknown document format"),
    ("no-such-file.doc", {}, zvword.Error, "File no-such-file.doc is not found."),
    ("samples", {}, zvword.Error, "is a directory"),
    ("samples/harbour.pdf", {"reader": "docx"}, zvword.Error, "not a docx document"),
    ("samples/harbour.pdf", {"format": "text"}, ValueError, "format"),
    ("samples/harbour.pdf", {"lists": ["notes"]}, ValueError, "unknown list"),
    ("samples/harbour.pdf", {"max_length": -1}, ValueError, "max_length"),
    ("samples/harbour.pdf", {"reader": "xls"}, ValueError, "unknown reader"),
])
def test_errors(source, kwargs, error, message, monkeypatch):
    monkeypatch.chdir(ROOT)
    with pytest.raises(error) as caught:
        zvword.extract(source, **kwargs)
    assert message in str(caught.value)
    if error is zvword.Error:
        assert isinstance(caught.value.document, zvword.Document)


@pytest.mark.parametrize("sample, name, expected", [
    ("harbour.odt", None, "odt"),
    ("harbour.pdf", "a.doc", "pdf"),  # content before the name
    ("harbour.txt", "a.wri", "wri"),  # no signature: the extension
    ("harbour.txt", None, None),
])
def test_detect(sample, name, expected):
    with open(ROOT / "samples" / sample, "rb") as f:
        assert zvword.detect(f.read(), name=name) == expected
    if name is None:
        assert zvword.detect(ROOT / "samples" / sample) == expected


def test_threads_read_while_another_reads():
    # With the GIL held for the whole read, this thread could not run before the read ended.
    big = ("<?xml version=\"1.0\"?><FictionBook><body>" + "<p>Words of a paragraph, again.</p>" * 100000 +
           "</body></FictionBook>").encode()
    started, times = threading.Event(), {}

    def reader():
        started.set()
        times["start"] = time.perf_counter()
        zvword.extract(big)
        times["end"] = time.perf_counter()

    t = threading.Thread(target=reader)
    t.start()
    started.wait()
    time.sleep(0)
    ran = time.perf_counter()
    t.join()
    assert times["end"] - ran > (times["end"] - times["start"]) / 2, times


def test_readme_python_example(monkeypatch, capsys):
    monkeypatch.chdir(ROOT)
    exec(compile(readme_block("Python", "python"), "README.md", "exec"), {})
    out = capsys.readouterr().out
    assert "doc Harbour Notes" in out and "epub odt" in out and "error: Unknown document format" in out

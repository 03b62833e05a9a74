"""zvword.dask on a real local cluster of two worker processes."""
import json
import os
import subprocess
import sys

import pytest

distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")

import zvword
from zvword.dask import iter_extract, list_files
from conftest import ROOT, SAMPLES, corpus_files, readme_block


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as c:
        yield c


def expected(path):
    try:
        return zvword.extract(path).text, None
    except (zvword.Error, OSError) as e:
        return getattr(e, "document", None) and e.document.text or "", str(e)


def test_every_file_once_as_read_here(client):
    # A few documents of each corpus folder besides the samples, and a name that is no file.
    corpus = [f for folder in ("doc", "docx", "pdf", "odf", "epub") for f in corpus_files("real/" + folder)[:3]]
    files = SAMPLES + corpus + [str(ROOT / "no-such-file.doc")]
    records = list(iter_extract(client, files, batch=2))
    assert sorted(r["file"] for r in records) == sorted(files)
    assert len(client.scheduler_info()["workers"]) == 2
    for r in records:
        assert (r["text"], r["error"]) == expected(r["file"]), r["file"]


def test_time_limit(client, tmp_path):
    big = tmp_path / "big.fb2"
    big.write_text("<FictionBook><body>" + "<p>Words of a paragraph, again.</p>" * 100000 + "</body></FictionBook>")
    (record,) = iter_extract(client, [str(big)], time_limit=0.001)
    assert "time limit" in record["error"] and record["text"] == ""


def test_readme_dask_examples(tmp_path):
    (tmp_path / "samples").symlink_to(ROOT / "samples")
    # The interpreter of this run first on PATH, and the package where this run found it.
    env = dict(os.environ, PATH=os.path.dirname(sys.executable) + os.pathsep + os.environ["PATH"],
               PYTHONPATH=os.path.dirname(os.path.dirname(os.path.abspath(zvword.__file__))))
    run = subprocess.run(readme_block("Dask", "sh"), shell=True, cwd=tmp_path, env=env)
    lines = [json.loads(l) for l in (tmp_path / "samples.jsonl").read_text().splitlines()]
    assert sorted(os.path.basename(r["file"]) for r in lines) == sorted(os.listdir(ROOT / "samples"))
    assert run.returncode == (1 if any(r["error"] for r in lines) else 0)
    run = subprocess.run([sys.executable, "-c", readme_block("Dask", "python").split("```python\n")[-1]],
                         cwd=tmp_path, env=env, capture_output=True, text=True, check=True)
    assert len(run.stdout.splitlines()) == len(lines)

"""Many documents on a Dask cluster, one JSON line each.

    python3 -m zvword.dask [--scheduler ADDRESS] [--workers N] PATH... > texts.jsonl

Directories are read recursively, in name order. Without --scheduler a local cluster of worker
processes is started (one thread each: a document is read by one core); with it, the workers must
see the same paths and have zvword installed. Each line holds file, format, text, properties,
error and partial (and lists, when asked for), written as results arrive; progress goes to
stderr. A task that fails (a worker that died, say) is retried; a document that is not read
within the time limit gets an error line and the batch goes on.

From Python: ``extract_files(paths, out)`` does the same and returns the counts;
``iter_extract(client, files)`` yields the records as they arrive.
"""

import argparse
import json
import os
import sys
import threading
import time

import zvword

__all__ = ["extract_files", "iter_extract", "list_files"]


def list_files(paths):
    """The files named, and those under the directories named (recursively, in name order)."""
    out = []
    for p in paths:
        if os.path.isdir(p):
            for root, dirs, files in os.walk(p):
                dirs.sort()
                out.extend(os.path.join(root, f) for f in sorted(files))
        else:
            out.append(p)
    return out


def _record(path, doc=None, error=None, with_lists=False):
    r = {"file": os.fsdecode(path), "format": doc.format if doc else None, "text": doc.text if doc else "",
         "properties": doc.properties if doc else {}}
    if with_lists:
        r["lists"] = doc.lists if doc else {}
    r["error"] = error
    r["partial"] = bool(doc and doc.partial)
    return r


def _read_one(path, options, time_limit):
    """One document's record; never raises for the document's own faults."""
    box = {}

    def run():
        try:
            box["doc"] = zvword.extract(path, **options)
        except zvword.Error as e:
            box["doc"], box["error"] = e.document, str(e)
        except (OSError, ValueError, MemoryError) as e:
            box["error"] = str(e) or type(e).__name__

    if not time_limit:
        run()
    else:
        # The reader cannot be stopped from outside; a thread lets the batch go on while it runs
        # out its own resource limits (the GIL is released, so it holds up nothing else).
        t = threading.Thread(target=run, daemon=True)
        t.start()
        t.join(time_limit)
        if t.is_alive():
            return _record(path, error="not read within the time limit of %g s" % time_limit)
    return _record(path, box.get("doc"), box.get("error"), bool(options.get("lists")))


def _read_batch(paths, options, time_limit):
    return [_read_one(p, options, time_limit) for p in paths]


def iter_extract(client, files, *, retries=2, time_limit=60.0, batch=0, **options):
    """Records (dicts) of the files, in the order the cluster finishes them.

    options are zvword.extract's (format, lists, password, max_length); batch is the documents
    per task (0 = chosen from the files and workers). A task that still fails after its retries
    gives an error record for each of its files.
    """
    from distributed import as_completed

    files = list(files)
    if batch <= 0:
        # A task costs a few milliseconds of scheduling, more than a small document takes to
        # read; a few dozen tasks per worker still even out the load.
        threads = max(1, sum(client.nthreads().values()))
        batch = max(1, min(32, len(files) // (16 * threads)))
    futures = {}
    for i in range(0, len(files), batch):
        part = files[i:i + batch]
        f = client.submit(_read_batch, part, options, time_limit, retries=retries, pure=False)
        futures[f] = part
    for f in as_completed(list(futures)):
        part = futures.pop(f)
        try:
            records = f.result()
        except Exception as e:  # the task's own failure, after its retries
            records = [_record(p, error="task failed: %s" % (str(e) or type(e).__name__)) for p in part]
        yield from records
        f.release()


class _Progress:
    def __init__(self, total, stream, enabled):
        self.total, self.stream, self.enabled = total, stream, enabled
        self.tty = enabled and hasattr(stream, "isatty") and stream.isatty()
        self.done = self.errors = 0
        self.start = time.monotonic()
        self.next_line = 0

    def update(self, record):
        self.done += 1
        self.errors += record["error"] is not None
        if not self.enabled:
            return
        # On a terminal one line redrawn; in a log a line every tenth of the way.
        if not self.tty and self.done < self.next_line and self.done != self.total:
            return
        self.next_line = self.done + max(1, self.total // 10)
        rate = self.done / max(time.monotonic() - self.start, 1e-9)
        self.stream.write("%s%d/%d files, %d errors, %.0f files/s%s" % (
            "\r" if self.tty else "", self.done, self.total, self.errors, rate,
            "" if self.tty and self.done != self.total else "\n"))
        self.stream.flush()


def _write_line(out, record):
    # A file name that is not UTF-8 keeps its bytes as \udcXX escapes instead of failing the line.
    line = json.dumps(record, ensure_ascii=False) + "\n"
    buffer = getattr(out, "buffer", None)
    if buffer is not None:
        buffer.write(line.encode("utf-8", "backslashreplace"))
        buffer.flush()
    else:
        out.write(line.encode("utf-8", "backslashreplace").decode("utf-8"))
        out.flush()


def extract_files(paths, out=None, *, scheduler=None, workers=None, retries=2, time_limit=60.0, batch=0,
                  progress=True, **options):
    """Reads the files and directories in paths on a Dask cluster, writing one JSON line per
    document to out (default sys.stdout) as results arrive.

    scheduler: an existing cluster's address; else a local cluster of `workers` processes (default:
    the CPUs this process may use). Returns {"files", "errors", "seconds"}.
    """
    from distributed import Client, LocalCluster

    out = sys.stdout if out is None else out
    files = list_files(paths)
    start = time.monotonic()
    cluster = None
    if scheduler is None:
        n = workers or len(os.sched_getaffinity(0))
        cluster = LocalCluster(n_workers=n, threads_per_worker=1, processes=True, dashboard_address=None)
    try:
        with Client(scheduler or cluster) as client:
            shown = _Progress(len(files), sys.stderr, progress)
            for record in iter_extract(client, files, retries=retries, time_limit=time_limit, batch=batch,
                                       **options):
                _write_line(out, record)
                shown.update(record)
    finally:
        if cluster is not None:
            cluster.close()
    return {"files": len(files), "errors": shown.errors, "seconds": time.monotonic() - start}


def main(argv=None):
    p = argparse.ArgumentParser(prog="python3 -m zvword.dask",
                                description="Extracts documents on a Dask cluster, one JSON line each.")
    p.add_argument("paths", nargs="*", metavar="PATH", help="files, and directories read recursively")
    p.add_argument("--files-from", metavar="FILE", help="input names from FILE (- for standard input), one a line")
    p.add_argument("--scheduler", metavar="ADDRESS", help="an existing cluster (default: a local one)")
    p.add_argument("--workers", type=int, metavar="N", help="worker processes of the local cluster")
    p.add_argument("-f", "--format", choices=["plain", "rtf", "html"], default="plain")
    p.add_argument("-l", "--list", action="append", default=[], metavar="NAME",
                   help="a list to add besides the body (%s, all)" % ", ".join(zvword.LISTS[1:]))
    p.add_argument("--max-length", type=int, default=0, metavar="N", help="stop after N characters of text")
    p.add_argument("--timeout", type=float, default=60.0, metavar="SEC",
                   help="per-document time limit (default 60; 0 = none)")
    p.add_argument("--retries", type=int, default=2, metavar="N", help="retries of a failed task (default 2)")
    p.add_argument("--batch", type=int, default=0, metavar="N",
                   help="documents per task (default: from the number of files and workers)")
    p.add_argument("-o", "--output", metavar="FILE", help="the JSON lines go here instead of standard output")
    p.add_argument("-q", "--quiet", action="store_true", help="no progress on stderr")
    a = p.parse_args(argv)
    paths = list(a.paths)
    if a.files_from:
        f = sys.stdin if a.files_from == "-" else open(a.files_from, encoding="utf-8", errors="surrogateescape")
        paths += [line.rstrip("\n") for line in f if line.strip()]
    if not paths:
        p.error("no input: name files or directories, or use --files-from")
    out = open(a.output, "w", encoding="utf-8") if a.output else sys.stdout
    try:
        counts = extract_files(paths, out, scheduler=a.scheduler, workers=a.workers, retries=a.retries,
                               time_limit=a.timeout, batch=a.batch, progress=not a.quiet, format=a.format,
                               lists=a.list, max_length=a.max_length)
    finally:
        if out is not sys.stdout:
            out.close()
    if not a.quiet:
        sys.stderr.write("%d files, %d errors in %.1f s\n" % (counts["files"], counts["errors"], counts["seconds"]))
    return 1 if counts["errors"] else 0


if __name__ == "__main__":
    sys.exit(main())

"""Documents per second of zvword.extract with 1 and 2 threads over the files under a folder.

    PYTHONPATH=build/python python3 python/bench/threads.py DIR [ROUNDS]

The files are read into memory first, so the disk is not measured; the best round counts.
"""
import os
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import zvword


def read(item):
    try:
        return len(zvword.extract(item[0], name=item[1]).text)
    except zvword.Error:
        return 0


def main(folder, rounds=3):
    paths = sorted(os.path.join(r, f) for r, _, fs in os.walk(folder) for f in fs)
    data = [(open(p, "rb").read(), os.path.basename(p)) for p in paths]
    best = {}
    for _ in range(rounds):
        for threads in (1, 2):
            start = time.perf_counter()
            with ThreadPoolExecutor(threads) as pool:
                sum(pool.map(read, data))
            best[threads] = min(best.get(threads, float("inf")), time.perf_counter() - start)
    for threads, seconds in sorted(best.items()):
        print("%d thread(s): %.2f s, %.0f documents/s" % (threads, seconds, len(data) / seconds))
    print("ratio: %.2f" % (best[1] / best[2]))


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 3)

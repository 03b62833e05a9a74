#!/usr/bin/env python3
"""Whether each reader's cost grows linearly: the same document at 1x, 10x and 100x its size.

  bench/scaling.py [-z ZVWORD] DIR1 DIR10 DIR100

Each DIR holds the documents bench/make-large.sh makes with 1, 10 and 100 copies of its text. For
each format the best CPU time of --runs runs is taken at each size; the table gives the time per
copy at 10x relative to 1x and at 100x relative to 10x (1.00 is proportional), with the tool's start-up time (its
--version run) taken off first, since a 1x document is small enough for it to matter.
"""
import argparse
import os
import subprocess
import sys


def cpu(argv, runs):
    best = None
    for _ in range(runs):
        with open(os.devnull, 'wb') as null:
            p = subprocess.Popen(argv, stdout=null, stderr=null)
            _, status, u = os.wait4(p.pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit('failed: ' + ' '.join(argv))
        t = u.ru_utime + u.ru_stime
        best = t if best is None else min(best, t)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('-z', '--zvword', default=os.environ.get('ZVWORD', 'build-bench/zvword'))
    ap.add_argument('-r', '--runs', type=int, default=5)
    ap.add_argument('dirs', nargs=3)
    a = ap.parse_args()
    base = cpu([a.zvword, '--version'], a.runs)
    print('start-up %.4f s' % base)
    print('%-8s %10s %10s %10s %9s %9s' % ('file', '1x s', '10x s', '100x s', '10x/1x', '100x/10x'))
    for name in sorted(os.listdir(a.dirs[0])):
        if name.endswith('.txt'):
            continue
        paths = [os.path.join(d, name) for d in a.dirs]
        if not all(os.path.exists(p) for p in paths):
            continue
        t = [cpu([a.zvword, p], a.runs) for p in paths]
        per = [max(x - base, 1e-6) / c for x, c in zip(t, (1, 10, 100))]
        print('%-8s %10.4f %10.4f %10.4f %9.2f %9.2f' % (name.split('.')[-1], t[0], t[1], t[2],
                                                          per[1] / per[0], per[2] / per[1]))
        sys.stdout.flush()


if __name__ == '__main__':
    main()

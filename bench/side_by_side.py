#!/usr/bin/env python3
"""Every reader against its fastest peer, as CPU-time ratios taken in one run.

For each format the script runs zvword and the peer over the same files (the corpus and, when
given, large documents), keeps the best CPU time (user + system) of --runs runs per file and
prints zvword's total divided by the peer's. Only files the peer reads (exit 0) are counted, so
neither side is charged for the other's failures. CPU time rather than wall time, because the
machines this runs on are often shared.
"""
import argparse
import os
import shutil
import subprocess
import sys

# format: (extensions, [(peer name, peer command)], zvword arguments); {} stands for the file.
PEERS = {
    'doc': (('.doc',), [('catdoc', 'catdoc {}'), ('antiword', 'antiword {}')], '{}'),
    'docx': (('.docx',), [('docx2txt', 'docx2txt {} -')], '{}'),
    'pdf': (('.pdf',), [('pdftotext', 'pdftotext {} -')], '{}'),
    'pdb': (('.pdb', '.prc'), [('txt2pdbdoc', 'txt2pdbdoc -d {} /dev/stdout')], '{}'),
    'odf': (('.odt', '.ods', '.odp'), [('odt2txt', 'odt2txt {}')], '{}'),
    'epub': (('.epub',), [('pandoc', 'pandoc -t plain {}')], '{}'),
    'fb2': (('.fb2',), [('pandoc', 'pandoc -t plain {}')], '{}'),
    'wpd': (('.wpd', '.wp', '.wp5', '.wp6'), [('wpd2text', 'wpd2text {}')], '{}'),
}


def cpu_time(argv):
    """CPU seconds of one run, or None when the program fails."""
    with open(os.devnull, 'wb') as null:
        proc = subprocess.Popen(argv, stdout=null, stderr=null)
        _, status, usage = os.wait4(proc.pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        return None
    return usage.ru_utime + usage.ru_stime


def best_time(command, path, runs):
    argv = [path if a == '{}' else a for a in command.split()]
    best = None
    for _ in range(runs):
        t = cpu_time(argv)
        if t is None:
            return None
        best = t if best is None else min(best, t)
    return best


def files_of(directory, extensions):
    found = []
    for root, _, names in os.walk(directory):
        for n in sorted(names):
            if n.lower().endswith(extensions):
                found.append(os.path.join(root, n))
    return sorted(found)


def compare(label, files, peer, zvword, ours, runs):
    pname, pcmd = peer
    if not shutil.which(pcmd.split()[0]):
        print('%-6s %-10s %-26s peer not installed' % (label[0], pname, label[1]))
        return
    tp = tz = 0.0
    n = 0
    for f in files:
        p = best_time(pcmd, f, runs)
        if p is None:
            continue
        z = best_time(zvword + ' ' + ours, f, runs)
        if z is None:
            z = best_time(zvword + ' ' + ours, f, 1) or 0.0
        tp += p
        tz += z
        n += 1
    if n == 0:
        print('%-6s %-10s %-26s no file the peer reads' % (label[0], pname, label[1]))
        return
    print('%-6s %-10s %-26s %5d %10.3f %10.3f %7.2f' % (label[0], pname, label[1], n, tp, tz, tz / tp if tp else 0))
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument('-z', '--zvword', default=os.environ.get('ZVWORD', 'build-bench/zvword'))
    ap.add_argument('-c', '--corpus', help='corpus directory (e.g. ../shared/corpus/real)')
    ap.add_argument('-l', '--large', help='directory of large documents, one or more per format')
    ap.add_argument('-r', '--runs', type=int, default=3)
    ap.add_argument('-f', '--formats', default=','.join(PEERS), help='comma-separated formats')
    a = ap.parse_args()
    if not os.access(a.zvword, os.X_OK):
        sys.exit('no zvword binary at %s (make bench builds build-bench/zvword)' % a.zvword)
    print('%-6s %-10s %-26s %5s %10s %10s %7s' % ('format', 'peer', 'files', 'n', 'peer s', 'zvword s', 'ratio'))
    for fmt in a.formats.split(','):
        exts, peers, ours = PEERS[fmt]
        sets = []
        if a.corpus:
            sets.append(('corpus', files_of(a.corpus, exts)))
        if a.large:
            sets += [(os.path.basename(f)[:26], [f]) for f in files_of(a.large, exts)]
        for name, files in sets:
            if files:
                for peer in peers:
                    compare((fmt, name), files, peer, a.zvword, ours, a.runs)


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""Lists a recovery folder the way recovered_tree_golden_test.cpp does: one
line per folder and file below it (path, and for files size, SHA-256 and
write time; a time within the last ten minutes, the time of recovery, shows as "-"),
then the rows of its recovery.csv without the condition column.
Usage: list_recovered_tree.py FOLDER"""
import csv, hashlib, io, os, sys, time

def esc(text):
    return (text.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n')
            .replace('\r', '\\r'))

def shown_time(ns, now_ns):
    return '-' if ns > now_ns - 600 * 10**9 else str(ns)

def main(folder):
    now = time.time_ns()
    lines = []
    for root, dirs, files in os.walk(folder):
        for d in dirs:
            full = os.path.join(root, d)
            rel = os.path.relpath(full, folder)
            lines.append(esc(rel + '/') + '\tD\t' + shown_time(os.lstat(full).st_mtime_ns, now))
        for f in files:
            full = os.path.join(root, f)
            rel = os.path.relpath(full, folder)
            if rel in ('recovery.csv', 'recovery.json'):
                continue
            data = open(full, 'rb').read()
            lines.append(esc(rel) + '\tF\t%d\t%s\t%s' % (len(data), hashlib.sha256(data).hexdigest(),
                                                        shown_time(os.lstat(full).st_mtime_ns, now)))
    out = sorted(lines, key=lambda l: l.encode('utf-8', 'surrogateescape'))
    text = open(os.path.join(folder, 'recovery.csv'), 'rb').read().decode('utf-8', 'surrogateescape')
    rows = list(csv.reader(io.StringIO(text, newline='')))
    skip = rows[0].index('condition')
    for row in rows:
        out.append('M\t' + '\t'.join(esc(f) for i, f in enumerate(row) if i != skip))
    sys.stdout.buffer.write(('\n'.join(out) + '\n').encode('utf-8', 'surrogateescape'))

main(sys.argv[1])

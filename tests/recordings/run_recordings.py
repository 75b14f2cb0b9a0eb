#!/usr/bin/env python3
"""Runs every check of the console recordings through the spuTarnExact chip and judges the run.

Usage: run_recordings.py RECORDINGS_DIR EXACT_RENDER_BINARY RENDER_CHECK_PY

check_recordings.py compares with --pcm-tolerance 1 (the interpolation x envelope rounding is
open at 1 LSB). The checks in known_failures.txt may fail for the reason given there; any other
failure, or a skipped check, fails this test. Exits 77 (skipped) without the recordings.
"""
import os
import subprocess
import sys


def main(argv):
    recordings, binary, front = argv[1:4]
    checker = os.path.join(recordings, 'check_recordings.py')
    if not os.path.isfile(checker):
        print('recordings not found at %s: skipped (set EXACT_RECORDINGS_DIR)' % recordings)
        return 77
    with open(os.path.join(os.path.dirname(__file__), 'known_failures.txt')) as f:
        known = {n: (p.strip('-'), w) for n, p, w in
                 (l.split(None, 2) for l in f if l.strip() and not l.startswith('#'))}
    out = subprocess.run([sys.executable, checker, '--pcm-tolerance', '1', '-j', '2',
                          sys.executable, front, '--binary', binary, '--manifest',
                          os.path.join(recordings, 'manifest.json')],
                         capture_output=True, text=True).stdout
    print(out)
    bad = [] if 'checks:' in out else ['no summary from check_recordings.py']
    for parts in (l.split(None, 6) for l in out.splitlines()):
        if len(parts) < 6 or parts[5] not in ('pass', 'FAIL', 'skip'):
            continue
        name, result, note = parts[0], parts[5], (parts + [''])[6]
        if name in known and result == 'FAIL' and note.startswith(known[name][0]):
            print('known: %s (%s)' % (name, known[name][1].strip()))
        elif name in known and result == 'pass':
            print('now passes, drop it from known_failures.txt: %s' % name)
        elif result != 'pass':
            bad.append(name)
    print('unexpected: %s' % (', '.join(bad) or 'none'))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

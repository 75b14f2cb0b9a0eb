#!/usr/bin/env python3
"""Renders one check of the console recordings' manifest on ExactCore.

Usage: render_check.py --binary EXACT_RENDER [--manifest PATH] [--keyon-delay N] CHECK_NAME

check_recordings.py appends the check name. This front end reads the check's steps from
manifest.json, drives the exact_render program (one command a line, one reply a line) through
them, and prints what the checker expects: the 512 capture ring slots (pcm), the ENVX reads
(envx) or 'key value' lines (values). It exits non-zero for a check it does not model.
"""
import argparse
import json
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_MANIFEST = os.path.join(HERE, '..', '..', '..', 'shared', 'hardware', 'recordings', 'manifest.json')

# Ticks between the capture edge and the key-on: the first non-zero capture sample then lands
# in ring slot 9, as on the console (HARDWARE.md, "The periodicity check pins the key-on
# timing"). Fitted once and kept for every check.
KEYON_DELAY = 6

# The capture tests run one after the other on the console, and each starts with the state the
# one before left: voice 1 keyed off but still decoding the looping sample at 01080h (start
# 0210h, pitch 1000h) it was keyed on to one capture edge (plus the key-on delay) before its
# ring was read. A keyed-off voice keeps decoding, and the next key-on continues from its
# ADPCM history (HARDWARE.md, section 4, "History at key-on"), so the renderer replays that
# tail of the previous test before the steps.
SAMPLE_BYTE = 0x01080
SAMPLE_UNITS = 0x0210


class Chip:
    def __init__(self, binary):
        self.proc = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     universal_newlines=True, bufsize=1)

    def cmd(self, line):
        self.proc.stdin.write(line + '\n')
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline().strip()
        if reply.startswith('error') or not reply:
            raise RuntimeError('%s: %s' % (line, reply or 'no reply'))
        return reply

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def low(addr):
    return addr[-3:]


def poll_command(step):
    """The exact_render poll for a manifest poll condition, or None for the per-edge poll."""
    until, limit = step['until'], step['max_reads']
    m = re.match(r'TRANSFER_ADDR reads back ([0-9A-F]{4})', until)
    if m:
        return 'poll DA6 FFFF %s eq %d' % (m.group(1), limit)
    m = re.match(r'SPUSTAT bits 5-4 == (\d)', until)
    if m:
        return 'poll DAE 30 %X eq %d' % (int(m.group(1)) << 4, limit)
    m = re.match(r'SPUSTAT bit 6 == ([01])', until)
    if m:
        return 'poll DAE 40 %X eq %d' % (int(m.group(1)) << 6, limit)
    if until.startswith('V1_ENVX != 0'):
        return 'poll C1C FFFF 0 ne %d' % limit
    if until.startswith('V1_ENVX == 0, read once per capture edge'):
        return None
    raise ValueError('unknown poll: %s' % until)


class Replay:
    def __init__(self, chip):
        self.chip = chip
        self.vars = {}       # 'into' names -> values (ints, or hex strings for DMA reads)
        self.envx = {}
        self.written = {}    # spu_addr -> hex data of the last DMA write there
        self.hits = 0

    def store(self, into, value, index):
        if into is None:
            return
        if into.startswith('envx['):
            self.envx[index if into == 'envx[i]' else int(into[5:-1])] = value
        else:
            self.vars[into] = value

    def steps(self, steps, index=None):
        for step in steps:
            if self.step(step, index) == 'stop':
                return 'stop'
        return None

    def step(self, step, index):
        op = step['op']
        if op == 'write':
            self.chip.cmd('write %s %s' % (low(step['addr']), step['value']))
        elif op == 'read':
            self.store(step.get('into'), int(self.chip.cmd('read %s' % low(step['addr']))), index)
        elif op == 'dma_to_spu':
            self.written[step['spu_addr']] = step['data']
            self.chip.cmd('dma_to %s' % step['data'])
        elif op == 'dma_from_spu':
            self.store(step.get('into'), self.chip.cmd('dma_from %d' % step['bytes']), index)
        elif op == 'wait_capture_edge':
            self.chip.cmd('edge')
        elif op == 'cpu_wait':
            self.chip.cmd('wait %d' % step['cycles'])
        elif op == 'poll':
            self.poll(step, index)
        elif op == 'repeat':
            for i in range(step['count']):
                if self.steps(step['steps'], step['index_from'] + i) == 'stop':
                    break
        elif op == 'host' and step['note'].startswith('if polls_k == 0'):
            if self.vars.get('polls_k', 0) == 0:
                return 'stop'
            self.hits += 1
        return None

    def poll(self, step, index):
        command = poll_command(step)
        if command is None:
            reads = 0
            for reads in range(1, step['max_reads'] + 1):
                if int(self.chip.cmd('read C1C')) == 0:
                    break
                self.chip.cmd('edge')
            result = reads
        else:
            result = int(self.chip.cmd(command))
        if 'cleared within the limit' in step.get('note', ''):
            result = 1 if result else 0
        self.store(step.get('into'), result, index)


def suite_precondition(chip, check):
    """The end of the capture test before this one (see SAMPLE_BYTE)."""
    upload = check.get('stimulus', {}).get('upload', {})
    blocks = upload.get('blocks') if isinstance(upload, dict) else None
    if not blocks:
        return
    data = ''.join(b['bytes'].replace(' ', '') for b in blocks)
    chip.cmd('ram %X %s' % (SAMPLE_BYTE, data))
    for line in ('write DAA C000', 'write DAC 0004', 'edge', 'write C14 1000',
                 'write C16 %04X' % SAMPLE_UNITS, 'write C1E %04X' % SAMPLE_UNITS, 'write C18 000F',
                 'write C1A 1FC0', 'write D88 0002', 'edge', 'write D8C 0002'):
        chip.cmd(line)


def bytes_of(hexdata):
    return bytes.fromhex(hexdata)


def derived_values(check, replay):
    """The keys the console test computed on the host side, from what was read."""
    v = dict((k, val) for k, val in replay.vars.items() if isinstance(val, int))
    for name in ('polls', 'first_polls', 'second_polls'):
        if name in replay.vars:
            v[name.replace('polls', 'fired')] = 1 if replay.vars[name] else 0
    if 'ring' in replay.vars and check['kind'] == 'values':
        ring = [int.from_bytes(bytes_of(replay.vars['ring'])[2 * i:2 * i + 2], 'little') for i in range(512)]
        nonzero = [i for i, s in enumerate(ring) if s]
        v['capture_first_nonzero'] = nonzero[0] if nonzero else -1
        v['capture_last_nonzero'] = nonzero[-1] if nonzero else -1
        v['capture_nonzero_count'] = len(nonzero)
        v['capture_sum'] = sum(ring)
    if any(e['key'] == 'hits' for e in check['expect']):
        v['hits'] = replay.hits
    readbacks = [(k[len('readback_'):], val) for k, val in replay.vars.items() if k.startswith('readback_')]
    if readbacks:
        mismatched = 0
        for addr, data in readbacks:
            got, want = bytes_of(data), bytes_of(replay.written[addr])[:len(bytes_of(data))]
            mismatched += sum(1 for a, b in zip(got, want) if a != b)
        v['mismatched_bytes'] = mismatched
    if 'readback' in replay.vars:
        got = bytes_of(replay.vars['readback'])
        want = bytes_of(next(iter(replay.written.values())))
        v['reserved_matches'] = sum(1 for i in range(16) if got[i] == want[i])
        v['after_matches'] = sum(1 for i in range(16, 64) if got[i] == want[i])
    if 'before' in replay.vars:
        v['nonzero_after_silence'] = sum(1 for b in bytes_of(replay.vars['before']) if b)
        after = bytes_of(replay.vars['after'])
        v['pattern_matches'] = sum(1 for i, b in enumerate(after) if b == 0x55 ^ (i & 0xFF))
    return v


def render(check, binary, keyon_delay):
    chip = Chip(binary)
    try:
        chip.cmd('keyon_delay %d' % keyon_delay)
        for addr, data in check.get('preconditions', {}).get('sound_ram', {}).items():
            chip.cmd('ram %s %s' % (addr, data))
        if check['kind'] == 'pcm':
            suite_precondition(chip, check)
        replay = Replay(chip)
        replay.steps(check['steps'])
    finally:
        chip.close()
    kind = check['kind']
    if kind == 'pcm':
        ring = bytes_of(replay.vars['ring'])
        return ['%d' % int.from_bytes(ring[2 * i:2 * i + 2], 'little', signed=True) for i in range(512)]
    if kind == 'envx':
        return ['%d' % replay.envx[i] for i in range(len(replay.envx))]
    values = derived_values(check, replay)
    return ['%s %d' % (e['key'], values[e['key']]) for e in check['expect'] if e['key'] in values]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--binary', required=True)
    ap.add_argument('--manifest', default=DEFAULT_MANIFEST)
    ap.add_argument('--keyon-delay', type=int, default=KEYON_DELAY)
    ap.add_argument('check')
    opts = ap.parse_args(argv)
    with open(opts.manifest) as f:
        checks = {c['name']: c for c in json.load(f)['checks']}
    if opts.check not in checks:
        print('no check %s' % opts.check, file=sys.stderr)
        return 2
    print('\n'.join(render(checks[opts.check], opts.binary, opts.keyon_delay)))
    return 0


if __name__ == '__main__':
    sys.exit(main())

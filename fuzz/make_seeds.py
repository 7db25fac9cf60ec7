#!/usr/bin/env python3
"""Writes the seed corpus of the data-file fuzz target: small well-formed
files of several variants, each preceded by the byte that chooses the
variant (low nibble mod 10) and the date style (high nibble)."""
import os
import struct
import sys


def dbf(fields, records, version=0x03, block_terminator=False):
    header_len = 32 * (len(fields) + 2) if block_terminator else 32 * len(fields) + 33
    rec_len = 1 + sum(l + (256 * d if t == 'C' else 0) for _, t, l, d in fields)
    out = bytearray(struct.pack('<BBBBIHH', version, 126, 12, 8, len(records), header_len, rec_len))
    out += bytes(20)
    for name, t, l, d in fields:
        out += name.encode().ljust(11, b'\0') + t.encode() + bytes(4) + bytes([l, d]) + bytes(14)
    out += b'\r' + (bytes(31) if block_terminator else b'')
    for deleted, values in records:
        out += b'*' if deleted else b' '
        for (name, t, l, d), v in zip(fields, values):
            out += v.encode().ljust(l + (256 * d if t == 'C' else 0))
    return bytes(out + b'\x1a')


mixed = [('NAME', 'C', 10, 0), ('BORN', 'D', 8, 0), ('AMOUNT', 'N', 8, 2), ('OK', 'L', 1, 0),
         ('RATE', 'F', 10, 4)]
rows = [(False, ['Ada', '19960229', '   12.50', 'T', '    0.1250']),
        (True, ['Bob', '        ', '  -3.00', 'F', '']),
        (False, ['', '20041231', '********', '?', '1.5e3'])]
seeds = {
    'mixed_v1': (0x41, dbf(mixed, rows)),
    'mixed_v9': (0x23, dbf(mixed, rows, block_terminator=True)),
    'memo_v2': (0x72, dbf([('NOTE', 'M', 10, 0), ('N', 'N', 3, 0)], [(False, ['         1', '  7'])],
                         version=0x8B)),
    'fox_v8': (0x98, dbf([('NOTE', 'M', 10, 0)], [(False, ['         4'])], version=0xF5)),
    'long_c': (0x11, dbf([('LONG', 'C', 0, 1)], [(False, ['x' * 256])])),
}
target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus', 'dbf_read')
os.makedirs(target, exist_ok=True)
for name, (selector, data) in seeds.items():
    with open(os.path.join(target, name), 'wb') as f:
        f.write(bytes([selector]) + data)

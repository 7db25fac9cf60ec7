#!/usr/bin/env python3
"""Writes seed NDX files for the ndx_read fuzz target: an empty index, one
leaf of character keys, a numeric leaf and a three-level tree. Each seed is
one control byte followed by the file."""
import os
import struct
import sys

PAGE = 512


def header(root, end, L, K, ktype, E, unique, expr):
    h = struct.pack("<IIIHHHH", root, end, 0, L, K, ktype, E) + bytes([0, 0, 0, unique])
    h += expr.encode() + b"\0"
    return h.ljust(PAGE, b"\0")


def page(entries, E, trailing=None):
    p = struct.pack("<I", len(entries))
    for child, rec, key in entries:
        p += struct.pack("<II", child, rec) + key + b"\0" * (E - 8 - len(key))
    if trailing is not None:
        p += struct.pack("<I", trailing)
    return p.ljust(PAGE, b"\0")


def char_tree(L, keys):
    E = ((L + 3) & ~3) + 8
    K = 504 // E
    pages = []  # page n at index n - 1
    level = []
    for i in range(0, len(keys), K):
        chunk = keys[i:i + K]
        pages.append(page([(0, r, k.ljust(L).encode()) for k, r in chunk], E))
        level.append((len(pages), chunk[-1][0]))
    while len(level) > 1:
        up = []
        for i in range(0, len(level), K + 1):
            chunk = level[i:i + K + 1]
            entries = [(c, 0, k.ljust(L).encode()) for c, k in chunk[:-1]]
            pages.append(page(entries, E, chunk[-1][0]))
            up.append((len(pages), chunk[-1][1]))
        level = up
    root = level[0][0]
    return header(root, len(pages) + 1, L, K, 0, E, 0, "NAME") + b"".join(pages)


def main(out):
    os.makedirs(out, exist_ok=True)
    seeds = {
        "empty": header(1, 2, 10, 25, 0, 20, 0, "NAME") + b"\0" * PAGE,
        "leaf": char_tree(10, [("K%03d" % i, i + 1) for i in range(12)]),
        "deep": char_tree(100, [("%03d" % i, i + 1) for i in range(60)]),
        "numeric": header(1, 2, 8, 31, 1, 16, 1, "AMOUNT")
        + page([(0, i + 1, struct.pack("<d", v)) for i, v in enumerate([-2.5, 0.0, 1.0, 7.25])], 16),
    }
    for name, data in seeds.items():
        for control in (0x00, 0x82):
            with open(os.path.join(out, "%s-%02x" % (name, control)), "wb") as f:
                f.write(bytes([control]) + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "ndx_read"))

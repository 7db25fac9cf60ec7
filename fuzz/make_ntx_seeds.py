#!/usr/bin/env python3
"""Writes seed NTX files for the ntx_read fuzz target: an empty index, one
leaf of character keys, a two-level tree with keys in its root, a
three-level tree of short pages and a numeric leaf with negative keys. Each
seed is one control byte followed by the file."""
import os
import struct
import sys

PAGE = 1024


def max_items(L):
    return ((1020 // (L + 10)) - 1) & ~1


def header(root, L, expr, decimals=0, unique=0, free=0):
    M = max_items(L)
    h = struct.pack("<HHIIHHHHH", 6, 1, root, free, L + 8, L, decimals, M, M // 2)
    h += expr.encode().ljust(256, b"\0") + bytes([unique])
    return h.ljust(PAGE, b"\0")


def page(L, items, trailing=0):
    """items: (child, record, key bytes); the trailing child after them."""
    M = max_items(L)
    size = L + 8
    first = 2 * M + 4
    p = bytearray(PAGE)
    struct.pack_into("<H", p, 0, len(items))
    for i in range(M + 1):
        struct.pack_into("<H", p, 2 + 2 * i, first + i * size)
    for i, (child, rec, key) in enumerate(items + [(trailing, 0, b"")]):
        at = first + i * size
        p[at:at + size] = struct.pack("<II", child, rec) + key.ljust(L, b" ")[:L]
    return bytes(p)


def tree(L, levels, fanout_keys):
    """A full tree: `levels` levels, every page holding `fanout_keys` keys."""
    pages = []
    counter = [0]

    def build(depth):
        at = len(pages)
        pages.append(None)
        offset = PAGE * (at + 1)
        items = []
        trailing = 0
        for i in range(fanout_keys + 1):
            child = build(depth + 1) if depth + 1 < levels else 0
            if i == fanout_keys:
                trailing = child
                break
            counter[0] += 1
            items.append((child, counter[0], b"%04d" % counter[0]))
        pages[at] = page(L, items, trailing)
        return offset

    root = build(0)
    return header(root, L, "NAME") + b"".join(pages)


def main(out):
    os.makedirs(out, exist_ok=True)
    seeds = {
        "empty": header(PAGE, 10, "NAME") + page(10, []),
        "leaf": header(PAGE, 10, "NAME")
        + page(10, [(0, i + 1, b"K%03d" % i) for i in range(12)]),
        "twolevel": tree(100, 2, 4),
        "deep": tree(100, 3, 1),
        "numeric": header(PAGE, 6, "AMOUNT", decimals=2, unique=1)
        + page(6, [(0, 1, b"+*.',"), (0, 2, b",+.',"), (0, 3, b"000.00"), (0, 4, b"012.50")]),
    }
    for name, data in seeds.items():
        for control in (0x00, 0x82):
            with open(os.path.join(out, "%s-%02x" % (name, control)), "wb") as f:
                f.write(bytes([control]) + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "ntx_read"))

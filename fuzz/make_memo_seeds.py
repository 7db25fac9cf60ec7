#!/usr/bin/env python3
"""Writes seed memo files for the memo_read fuzz target: plain .DBT files,
block-size .DBT files with a free chain, and .FPT files of block sizes 64 and
512. Each seed is one control byte (its value modulo 3 picks the layout:
0 plain, 1 block-size, 2 FPT) followed by the file."""
import os
import struct
import sys


def plain(texts):
    out = bytearray(512)
    blocks = []
    for t in texts:
        blocks.append(len(out) // 512)
        body = t + b"\x1a\x1a"
        body += b"\0" * (-len(body) % 512)
        out += body
    struct.pack_into("<I", out, 0, len(out) // 512)
    return bytes(out) + b"\x1a"


def block_size(bs, texts, free_run=None):
    head = bytearray(bs)
    head[8:16] = b"SEED\0\0\0\0"
    head[18] = 2
    head[19] = 1
    struct.pack_into("<H", head, 20, bs)
    out = bytearray(head)
    for t in texts:
        entry = b"\xff\xff\x08\x00" + struct.pack("<I", len(t) + 8) + t
        entry += b"\0" * (-len(entry) % bs)
        out += entry
    end = len(out) // bs
    if free_run is not None:
        # A freed run of `free_run` blocks at the end, chained to the end.
        start = end
        run = struct.pack("<II", end + free_run, free_run) + b"\0" * (bs * free_run - 8)
        out += run
        struct.pack_into("<I", out, 0, start)
    else:
        struct.pack_into("<I", out, 0, end)
    return bytes(out)


def fpt(bs, texts):
    head_blocks = (512 + bs - 1) // bs
    out = bytearray(head_blocks * bs)
    for t in texts:
        entry = struct.pack(">II", 1, len(t)) + t
        entry += b"\0" * (-len(entry) % bs)
        out += entry
    struct.pack_into(">II", out, 0, len(out) // bs, bs)
    return bytes(out)


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "corpus", "memo_read")
    os.makedirs(target, exist_ok=True)
    words = b"one two three four five six seven eight nine ten " * 12
    seeds = {
        "plain-empty": (0, plain([])),
        "plain-two": (3, plain([b"hello world", words])),
        "plain-soft": (6, plain([b"one two \x8d\nthree\r\nfour"])),
        "blocks-512": (1, block_size(512, [b"short", words])),
        "blocks-chain": (4, block_size(512, [words, b"x"], free_run=2)),
        "blocks-1024": (7, block_size(1024, [words * 2])),
        "fpt-64": (2, fpt(64, [b"first", words])),
        "fpt-512": (5, fpt(512, [words, b"", b"last"])),
    }
    for name, (control, body) in seeds.items():
        with open(os.path.join(target, name), "wb") as f:
            f.write(bytes([control]) + body)


if __name__ == "__main__":
    main()

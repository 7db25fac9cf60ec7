#!/usr/bin/python3
"""Writes the seed inputs of fuzz_dbf_write into fuzz/corpus/dbf_write/.

An input is: a head byte (variant = head % 11, bit 0x80 the production
flag), the field count - 1, per field (name length, name letters, type
index, length form and length, decimals), then operations (op, field, and
the op's own bytes); see fuzz/dbf_write_fuzz.cpp."""
import os
import struct

TYPES = "CDFLMNNCcnx"
here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus", "dbf_write")
os.makedirs(out, exist_ok=True)


def field(name, ftype, length, decimals=0):
    b = bytes([len(name)]) + bytes(ord(c) - ord("A") for c in name)
    b += bytes([TYPES.index(ftype)])
    if length > 23:
        b += bytes([1]) + struct.pack("<H", length)
    else:
        b += bytes([0, length])
    return b + bytes([decimals])


def seed(name, variant, fields, ops):
    data = bytes([variant, len(fields) - 1]) + b"".join(fields) + b"".join(ops)
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def text(s):
    return bytes([len(s)]) + s.encode()


put_text = lambda f, s: bytes([0, f]) + text(s)
put_num = lambda f, v: bytes([0, f]) + struct.pack("<d", v) + b"\0"
append = bytes([3, 0])
update = lambda r: bytes([5, 0, r])
delete = lambda r: bytes([6, 0, r])
pack = bytes([12, 0, 0])

seed("v1_basic", 1, [field("NAME", "C", 10), field("AMT", "N", 8, 2), field("DAY", "D", 8)],
     [put_text(0, "ALICE"), put_num(1, -12.5), put_text(2, "20240229"), append,
      put_num(1, -1000.0), append, delete(1), update(2), pack])
seed("v2_float", 2, [field("RATE", "F", 20, 18), field("OK", "L", 1)],
     [put_num(0, 1.5), bytes([0, 1, ord("T")]), append, put_num(0, float("nan")), append])
seed("v6_long", 6, [field("TEXT", "C", 2000), field("N", "N", 5)],
     [put_text(0, "x" * 39), append, append, delete(2), pack, append])
seed("v7_ends", 7, [field("A", "C", 3), field("M", "M", 10)],
     [append, bytes([0, 1]) + struct.pack("<I", 4294967295), append, update(1)])
seed("v9_block", 9 | 0x80, [field("A", "N", 19, 15)],
     [put_num(0, 1e300), append, bytes([9, 0, 0]), bytes([10, 0]) + bytes(64)])

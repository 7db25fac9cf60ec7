#!/usr/bin/python3
"""Adds python3-dbfread's reading to every NAME.expect in a directory.

usage: /usr/bin/python3 add_dbfread.py OUTDIR

For each file that its writer could read back, two sections are added:
"reader dbfread" (the values dbfread parses) and "raw dbfread" (the stored
bytes of every field, as dbfread cuts them from the record). dbfread keeps
present and deleted records apart; the writer's deletion flags give the
order in which the two runs interleave, and both tools must agree on how
many records of each kind there are.
"""

import glob
import os
import sys

from dbfread import DBF

from expect_format import format_value, package_version, read_expectation

TOOL = "dbfread"


def fail(path, message):
    sys.exit("%s: %s" % (path, message))


def interleave(path, flags, present, deleted):
    if flags.count(False) != len(present) or flags.count(True) != len(deleted):
        fail(path, "dbfread finds %d present and %d deleted records, the writer %d and %d" %
             (len(present), len(deleted), flags.count(False), flags.count(True)))
    runs = {False: iter(present), True: iter(deleted)}
    return [(flag, next(runs[flag])) for flag in flags]


def check_fields(path, fields, table):
    theirs = [(f.name.upper(), f.type, f.length, f.decimal_count) for f in table.fields]
    if theirs != fields:
        fail(path, "dbfread reads the fields %r, the writer wrote %r" % (theirs, fields))


def memo_text(value, memo_kind):
    # Both readers give no text for a memo without a block.
    if value is None:
        return ""
    # A dBASE IV memo block starts with FF FF 08 00 and a 4-byte length that
    # counts these 8 header bytes; dbfread reads that many bytes after the
    # header, so the last 8 it returns lie beyond the memo.
    if memo_kind == "dbt4":
        return value[:-8] if len(value) >= 8 else value
    return value


def add_sections(expect_path):
    meta, fields, flags = read_expectation(expect_path)
    if "count" not in meta:
        return
    data_path = os.path.join(os.path.dirname(expect_path), meta["file"])
    kinds = [kind for _, kind, _, _ in fields]

    parsed = DBF(data_path, encoding="cp1252", char_decode_errors="strict", load=True)
    check_fields(data_path, fields, parsed)
    if parsed.header.numrecords != int(meta["count"]):
        fail(data_path, "dbfread reads a record count of %d" % parsed.header.numrecords)
    records = []
    for deleted, record in interleave(data_path, flags, parsed.records, parsed.deleted):
        values = []
        for kind, value in zip(kinds, record.values()):
            values.append(format_value(kind, memo_text(value, meta["memo"]) if kind == "M" else value))
        records.append((deleted, values))

    raw = DBF(data_path, raw=True, load=True)
    raw_records = []
    for deleted, record in interleave(data_path, flags, raw.records, raw.deleted):
        raw_records.append((deleted, [format_value("C", v) for v in record.values()]))

    with open(expect_path, encoding="ascii") as f:
        lines = f.read().splitlines()
    if lines[-1] != "end":
        fail(expect_path, "does not end with 'end'")
    lines.pop()
    for keyword, section in (("reader", records), ("raw", raw_records)):
        lines.append(keyword + "\t" + TOOL)
        for deleted, values in section:
            lines.append("\t".join(["rec", "1" if deleted else "0"] + values))
    lines.append("end")
    with open(expect_path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: add_dbfread.py OUTDIR")
    package_version("python3-dbfread")  # fails loudly when it is missing
    paths = sorted(glob.glob(os.path.join(sys.argv[1], "*.expect")))
    if not paths:
        sys.exit("no .expect files in " + sys.argv[1])
    for path in paths:
        add_sections(path)


if __name__ == "__main__":
    main()

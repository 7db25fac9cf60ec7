#!/usr/bin/python3
"""Writes DBF files with python3-dbf and, beside each, its own reading of it.

usage: /usr/bin/python3 make_python_dbf.py OUTDIR

Every table is written, closed, then opened again read-only; what
python3-dbf reads back (deletion flags included) becomes the "python3-dbf"
section of NAME.expect.
"""

import datetime
import os
import random
import sys

import dbf

from expect_format import Expectation, format_value, package_version, version_byte

TOOL = "python3-dbf " + package_version("python3-dbf")
D = datetime.date


def create(out_dir, name, specs, dbf_type):
    path = os.path.join(out_dir, name + ".dbf")
    for old in (path, path[:-4] + ".dbt", path[:-4] + ".fpt"):
        if os.path.exists(old):
            os.remove(old)
    table = dbf.Table(path, specs, dbf_type=dbf_type, codepage="cp1252")
    table.open(dbf.READ_WRITE)
    return table, path


def fill(table, rows, deleted=()):
    for row in rows:
        table.append(row)
    for index in deleted:
        dbf.delete(table[index])
    table.close()


def oracle_value(kind, value):
    # python3-dbf pads character values; the engine's comparison trims them.
    if kind == "C" and value is not None:
        value = value.rstrip(" ")
    if kind == "M" and value is None:
        value = ""
    return format_value(kind, value)


def describe(path, memo, expected_version, after_version=0):
    """Reads the file back with python3-dbf and builds its expectation."""
    actual = version_byte(path)
    if actual != expected_version:
        sys.exit("%s: python3-dbf wrote version byte 0x%02X, expected 0x%02X" %
                 (path, actual, expected_version))
    exp = Expectation(os.path.basename(path), TOOL, memo, actual, after_version)
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    kinds = []
    for field in table.field_names:
        kind, length, decimals, _ = table.field_info(field)
        kind = chr(kind)
        kinds.append(kind)
        exp.add_field(field, kind, length, decimals if kind in "NF" else 0)
    records = []
    for record in table:
        values = [oracle_value(k, record[i]) for i, k in enumerate(kinds)]
        records.append((dbf.is_deleted(record), values))
    count = len(table)
    table.close()
    if count != len(records):
        sys.exit("%s: python3-dbf counts %d records, iterates %d" % (path, count, len(records)))
    if after_version == 0:
        # Files the engine refuses carry no records to compare.
        exp.count = count
        exp.add_reading("python3-dbf", records)
    exp.write(path[:-4] + ".expect")


def plain(out_dir):
    specs = ("NAME C(20); CITY C(25); AMOUNT N(10,2); QTY N(5,0); RATE F(12,4); "
             "BORN D; ACTIVE L")
    table, path = create(out_dir, "py_db3_plain", specs, "db3")
    rows = [
        ("Alice Martin", "Paris", 1234.5, 42, 3.1416, D(1999, 12, 31), True),
        ("Bob", "", None, None, None, None, None),
        ("Zoë Müller", "Köln", -0.75, -9999, -123.4567, D(2024, 2, 29), False),
        ("X" * 20, "Y" * 25, 9999999.99, 99999, 9999999.9999, D(1, 1, 1), True),
        ("Deleted Dan", "Lyon", 10.0, 1, 0.5, D(2001, 9, 9), False),
        ("Tiny", "Nice", -0.01, 0, 0.0, D(9999, 12, 31), True),
        ("Tab\there", "Back\\slash", -99999.99, -1, -0.0001, D(1900, 2, 28), False),
        ("O'Brien & Sons", "Saint-Étienne", 0.05, 7, 1e-4, D(2000, 2, 29), True),
    ]
    fill(table, rows, deleted=[4])
    describe(path, "none", 0x03)


def memo(out_dir):
    specs = "ID N(4,0); NAME C(15); NOTES M; BORN D; PAID L; TOTAL N(9,2); REMARK M"
    table, path = create(out_dir, "py_db3_memo", specs, "db3")
    rows = [
        (1, "Short", "hello memo", D(1985, 6, 15), True, 19.99, "first"),
        (2, "Empty", "", None, None, None, ""),
        (3, "Long", "0123456789" * 70, D(2010, 10, 10), False, -5.5, "x"),
        (4, "Lines", "line one\r\nline two\r\nZoë", D(2020, 1, 1), True, 0.0, ""),
        (5, "Gone", "deleted but its memo stays", D(2015, 3, 3), False, 1.0, "bye"),
        (6, "Edge", "e" * 510, D(1970, 1, 1), True, 999999.99, "f" * 511),
        (7, "Blank", None, D(2000, 12, 31), None, -9999.99, None),
    ]
    fill(table, rows, deleted=[4])
    describe(path, "dbt3", 0x83)


def empty(out_dir):
    table, path = create(out_dir, "py_db3_empty", "NAME C(10); N N(6,2); D D; L L", "db3")
    fill(table, [])
    describe(path, "none", 0x03)
    table, path = create(out_dir, "py_db3_empty_memo", "NAME C(10); M M", "db3")
    fill(table, [])
    describe(path, "dbt3", 0x83)


def many(out_dir):
    """Thousands of records: enough to cross every buffer boundary."""
    rng = random.Random(20240229)
    table, path = create(out_dir, "py_db3_many",
                         "CODE C(8); VALUE N(12,3); DAY D; FLAG L; COUNT N(7,0)", "db3")
    rows = []
    for i in range(3000):
        value = round(rng.uniform(-9999999.0, 99999999.0), 3) if i % 17 else None
        day = D(1900, 1, 1) + datetime.timedelta(days=rng.randrange(0, 73000)) if i % 11 else None
        flag = (None, True, False)[i % 3]
        rows.append(("C%07d" % i, value, day, flag, rng.randrange(-999999, 9999999)))
    fill(table, rows, deleted=range(5, 3000, 13))
    describe(path, "none", 0x03)

    # Records of 4 bytes and records of about 2 KB: the read-ahead buffer
    # holds 128 of the first and 8 of the second.
    table, path = create(out_dir, "py_db3_short", "A C(1); B N(2,0)", "db3")
    fill(table, [(chr(65 + i % 26), i % 100 - 9) for i in range(1000)],
         deleted=range(0, 1000, 97))
    describe(path, "none", 0x03)
    specs = "; ".join("T%d C(254)" % i for i in range(8)) + "; N N(19,4)"
    table, path = create(out_dir, "py_db3_wide", specs, "db3")
    rows = []
    for i in range(40):
        texts = [("%d-%d " % (i, f)) * (i * 3 % 40 + f) for f in range(8)]
        rows.append(tuple(t[:254] for t in texts) + ((i - 20) * 123456789.1234,))
    fill(table, rows, deleted=[39])
    describe(path, "none", 0x03)


def refused(out_dir):
    # FoxPro: 263 bytes follow the descriptors, so the header length is
    # 32n + 33 + 263 (mod 32 = 8): refused once the version byte passes.
    table, path = create(out_dir, "py_fp_memo", "NAME C(10); AMOUNT N(8,2); NOTES M", "fp")
    fill(table, [("Fox", 1.5, "pro")])
    describe(path, "fpt", 0xF5, after_version=-19)
    table, path = create(out_dir, "py_vfp", "NAME C(10); AMOUNT N(8,2)", "vfp")
    fill(table, [("Visual", 2.5)])
    describe(path, "none", 0x30, after_version=-18)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_python_dbf.py OUTDIR")
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    plain(out_dir)
    memo(out_dir)
    empty(out_dir)
    many(out_dir)
    refused(out_dir)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Reads a DBF file with one independent tool and prints every record in the
canonical line form of the write round-trip test (tests/xbase_oracle/
write_roundtrip_test.cpp): one line per record, the fields joined by '|':
'C' right-trimmed, 'N' and 'F' with the field's decimals, 'D' as YYYYMMDD,
'L' as T or F, empty and memo values as nothing.

usage: read_written.py TOOL FILE     TOOL: dbf, dbfread or gdal

The field types and decimals come from the file's header (read here with
struct); the values come from the tool. A tool that refuses the file makes
this exit with 3 and its message on stderr."""
import csv
import datetime
import io
import os
import struct
import subprocess
import sys


def header_fields(path):
    with open(path, "rb") as f:
        head = f.read(32)
        header_length = struct.unpack("<H", head[8:10])[0]
        rest = f.read(header_length - 32)
    fields = []
    for at in range(0, len(rest) - 31, 32):
        d = rest[at:at + 32]
        if d[0] == 0x0D:
            break
        name = d[:11].split(b"\0")[0].decode("ascii")
        fields.append((name, chr(d[11]), d[17]))
    return fields


def canonical(value, ftype, decimals):
    if value is None:
        return ""
    if ftype == "C":
        return (value.decode("latin-1") if isinstance(value, bytes) else str(value)).rstrip(" ")
    if ftype in "NF":
        if isinstance(value, str):
            value = value.strip()
            if value == "":
                return ""
        return "%.*f" % (decimals, float(value))
    if ftype == "D":
        if isinstance(value, (datetime.date, datetime.datetime)):
            return value.strftime("%Y%m%d")
        text = str(value).strip().replace("/", "").replace("-", "")
        return text
    if ftype == "L":
        if isinstance(value, str):
            value = value.strip()
            if value in ("", "?"):
                return ""
            return "T" if value.upper() in ("T", "Y", "1", "TRUE") else "F"
        return "T" if value else "F"
    if ftype == "M":
        return ""
    return str(value)


def read_dbf(path, fields):
    import dbf
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    try:
        for record in table:
            if dbf.is_deleted(record):
                continue
            values = []
            for name, ftype, decimals in fields:
                v = record[name.lower()]
                if ftype == "M":
                    v = None
                elif v is not None and ftype == "L" and not isinstance(v, (bool, str)):
                    # dbf's Logical: True, False or the unknown value.
                    v = None if v is dbf.Unknown or v is dbf.Null else bool(v)
                elif ftype == "D" and v is not None and not v:
                    v = None  # an empty dbf.Date
                values.append(canonical(v, ftype, decimals))
            yield values
    finally:
        table.close()


def read_dbfread(path, fields):
    import dbfread
    table = dbfread.DBF(path, load=False, ignore_missing_memofile=False, char_decode_errors="strict")
    for record in table:
        yield [canonical(None if t == "M" else record[n], t, d) for n, t, d in fields]


def read_gdal(path, fields):
    out = subprocess.run(["ogr2ogr", "-f", "CSV", "/vsistdout/", path],
                         capture_output=True, check=False)
    if out.returncode != 0:
        raise RuntimeError(out.stderr.decode(errors="replace"))
    rows = list(csv.reader(io.StringIO(out.stdout.decode("latin-1"))))
    head = rows[0]
    for row in rows[1:]:
        values = []
        for name, ftype, decimals in fields:
            v = row[head.index(name)] if name in head else None
            if ftype == "L" and v is not None:
                v = v.strip() or None
            values.append(canonical(v if v != "" else None, ftype, decimals))
        yield values


def main():
    tool, path = sys.argv[1], sys.argv[2]
    fields = header_fields(path)
    reader = {"dbf": read_dbf, "dbfread": read_dbfread, "gdal": read_gdal}[tool]
    try:
        lines = ["|".join(values) for values in reader(path, fields)]
    except Exception as error:  # the tool refused the file
        print("%s refused %s: %s: %s" % (tool, os.path.basename(path), type(error).__name__, error),
              file=sys.stderr)
        sys.exit(3)
    for line in lines:
        print(line)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Writes NAME.expect for a DBF that GDAL wrote, from GDAL's own reading.

usage: /usr/bin/python3 gdal_expect.py DBF_PATH LAST_UPDATE

The field list comes from `ogrinfo -so`, the records from `ogr2ogr -f CSV`
(GDAL shows no deleted records and writes none here). LAST_UPDATE is the
yyyymmdd date the file was told to carry in its header, or "-".
"""

import csv
import io
import os
import re
import subprocess
import sys

from expect_format import NULL, Expectation, escape_text, package_version, version_byte

TYPES = {"String": "C", "Real": "N", "Integer": "N", "Integer64": "N", "Date": "D"}


def run(args):
    return subprocess.run(args, check=True, capture_output=True, text=True,
                          encoding="utf-8").stdout


def fields_of(path, layer):
    out = run(["ogrinfo", "-so", "-nomd", "-ro", path, layer])
    fields = []
    for line in out.splitlines():
        m = re.match(r"^(\w+): (\w+) \((\d+)\.(\d+)\)$", line)
        if m:
            name, gdal_type, width, precision = m.groups()
            kind = TYPES[gdal_type]
            # GDAL reports dates 10 wide (yyyy/mm/dd); the DBF stores 8.
            fields.append((name, kind, 8 if kind == "D" else int(width), int(precision)))
    if not fields:
        sys.exit("%s: ogrinfo lists no fields" % path)
    return fields


def value_of(kind, text):
    if kind == "C":
        return escape_text(text.rstrip(" "))
    if text == "":
        return NULL
    if kind == "D":
        return text.replace("/", "")
    return text


def main():
    path, last_update = sys.argv[1], sys.argv[2]
    layer = os.path.basename(path)[:-4]
    exp = Expectation(os.path.basename(path), "gdal-bin " + package_version("gdal-bin"),
                      "none", version_byte(path))
    if exp.version != 0x03:
        sys.exit("%s: GDAL wrote version byte 0x%02X" % (path, exp.version))
    if last_update != "-":
        exp.lud = last_update
    for field in fields_of(path, layer):
        exp.add_field(*field)
    text = run(["ogr2ogr", "-f", "CSV", "/vsistdout/", path, "-lco", "LINEFORMAT=LF"])
    rows = list(csv.reader(io.StringIO(text)))
    header, rows = rows[0], rows[1:]
    if [h.upper() for h in header] != [f[0] for f in exp.fields]:
        sys.exit("%s: CSV columns %r do not match the fields" % (path, header))
    kinds = [f[1] for f in exp.fields]
    exp.count = len(rows)
    exp.add_reading("gdal", [(False, [value_of(k, v) for k, v in zip(kinds, row)])
                             for row in rows])
    exp.write(path[:-4] + ".expect")


if __name__ == "__main__":
    main()

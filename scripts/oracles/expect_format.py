"""Writes the expectation files that go with every oracle DBF file.

One file NAME.expect per data file, plain text, one item per line, items
separated by tabs:

    kv-oracle-expect  1
    file     NAME.dbf              the data file, in the same directory
    tool     python3-dbf 0.96.005-2
    memo     none | dbt3 | dbt4 | fpt      layout of the memo file beside it
    version  0x83                  the version byte the writer wrote
    after_version  0               status once the version byte is accepted
    lud      20230405              (optional) date of the last update
    field    NAME  C  20  0        name, type, length, decimals (in order)
    count    12                    records the header announces
    reader   python3-dbf           a reading of every record by that tool:
    rec      0  Alice  -12.5 ...   deletion flag (0/1), one value per field
    raw      dbfread               the stored bytes of every field
    rec      ...
    end

Values: C and M text, N and F the number as the tool gives it, D as
yyyymmdd, L as T or F; \\N stands for a null (blank) value. Bytes outside
printable ASCII are written \\xHH, a backslash as \\\\, so that a value never
holds a tab or a line end.
"""

import subprocess

NULL = "\\N"
CODEPAGE = "cp1252"


def escape_bytes(data: bytes) -> str:
    out = []
    for b in data:
        if b == 0x5C:
            out.append("\\\\")
        elif 0x20 <= b <= 0x7E:
            out.append(chr(b))
        else:
            out.append("\\x%02X" % b)
    return "".join(out)


def escape_text(text: str) -> str:
    return escape_bytes(text.encode(CODEPAGE))


def format_value(kind: str, value) -> str:
    """The reading of one field by a tool, in the file's notation."""
    if value is None:
        return NULL
    if kind in ("C", "M"):
        if isinstance(value, bytes):
            return escape_bytes(value)
        return escape_text(value)
    if kind in ("N", "F"):
        if isinstance(value, bool):
            raise ValueError("boolean in a numeric field")
        return repr(value) if isinstance(value, float) else str(value)
    if kind == "D":
        return "%04d%02d%02d" % (value.year, value.month, value.day)
    if kind == "L":
        return "T" if value else "F"
    raise ValueError("unknown field type %r" % kind)


def package_version(package: str) -> str:
    out = subprocess.run(
        ["dpkg-query", "-W", "-f=${Version}", package],
        check=True, capture_output=True, text=True)
    return out.stdout.strip()


def version_byte(path: str) -> int:
    with open(path, "rb") as f:
        return f.read(1)[0]


class Expectation:
    """Collects what the writer knows about one file, then writes it."""

    def __init__(self, file_name, tool, memo, version, after_version=0):
        self.file_name = file_name
        self.tool = tool
        self.memo = memo
        self.version = version
        self.after_version = after_version
        self.lud = None
        self.fields = []      # (name, type, length, decimals)
        self.count = None
        self.sections = []    # (keyword, reader, [(deleted, [values])])

    def add_field(self, name, kind, length, decimals):
        self.fields.append((name.upper(), kind, length, decimals))

    def add_reading(self, reader, records, raw=False):
        """records: list of (deleted, values) with values already formatted."""
        for deleted, values in records:
            if len(values) != len(self.fields):
                raise ValueError("%s: %d values for %d fields" % (
                    reader, len(values), len(self.fields)))
        self.sections.append(("raw" if raw else "reader", reader, records))

    def write(self, path):
        lines = ["kv-oracle-expect\t1",
                 "file\t" + self.file_name,
                 "tool\t" + self.tool,
                 "memo\t" + self.memo,
                 "version\t0x%02X" % self.version,
                 "after_version\t%d" % self.after_version]
        if self.lud:
            lines.append("lud\t" + self.lud)
        for name, kind, length, decimals in self.fields:
            lines.append("field\t%s\t%s\t%d\t%d" % (name, kind, length, decimals))
        if self.count is not None:
            lines.append("count\t%d" % self.count)
        for keyword, reader, records in self.sections:
            lines.append(keyword + "\t" + reader)
            for deleted, values in records:
                lines.append("\t".join(["rec", "1" if deleted else "0"] + values))
        lines.append("end")
        with open(path, "w", encoding="ascii", newline="\n") as f:
            f.write("\n".join(lines) + "\n")


def read_expectation(path):
    """Reads back the items a second reader needs: fields, count, flags."""
    fields, flags, first_reader, meta = [], [], None, {}
    with open(path, encoding="ascii") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            key = parts[0]
            if key == "field":
                fields.append((parts[1], parts[2], int(parts[3]), int(parts[4])))
            elif key in ("file", "memo", "version", "count", "tool"):
                meta[key] = parts[1]
            elif key in ("reader", "raw"):
                if first_reader is None:
                    first_reader = parts[1]
                    reading_first = True
                else:
                    reading_first = False
            elif key == "rec" and first_reader is not None and reading_first:
                flags.append(parts[1] == "1")
    return meta, fields, flags

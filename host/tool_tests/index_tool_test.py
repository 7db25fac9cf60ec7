"""`kvhost index build` and `kvhost index check` as a person runs them.

The data file is written byte by byte here, apart from the engine, and the
keys each index must hold first and last are worked out from the same rows.
Every case runs kvhost in a fresh directory and looks at its exit status
and its report. Run with Debian's python3:
    /usr/bin/python3 index_tool_test.py KVHOST SOURCE_DIR WORK_DIR
"""
import datetime
import os
import re
import shutil
import struct
import subprocess
import sys

KVHOST, SOURCE, WORK = (os.path.abspath(a) for a in sys.argv[1:4])
ROWS = 5000
FAILURES = []


def fail(case, why, output=""):
    FAILURES.append(case)
    print(f"FAIL {case}: {why}")
    if output:
        print("  " + output.replace("\n", "\n  "))


def name_of(i):
    return "N%05d" % (i * 7919 % ROWS)  # a permutation: every name once


def amount_of(i):
    return ((i * 37) % 2001 - 1000) * 0.25  # -250.00 .. 250.00, repeated


def born_of(i):
    return datetime.date(1960, 1, 1) + datetime.timedelta(days=i * 13 % 6007)


CITIES = ["Lyon", "Bergen", "Torino", "Galway", "Leiden", "Namur", "Malmo"]


def city_of(i):
    return CITIES[i * 3 % len(CITIES)]


FIELDS = [("NAME", "C", 10, 0), ("AMOUNT", "N", 9, 2), ("BORN", "D", 8, 0), ("CITY", "C", 12, 0)]


def write_dbf(path, rows):
    """A dBASE III data file (version byte 3) without memo fields."""
    record_length = 1 + sum(f[2] for f in FIELDS)
    header_length = 32 + 32 * len(FIELDS) + 1
    out = bytearray(struct.pack("<BBBBIHH20x", 3, 126, 12, 8, rows, header_length, record_length))
    for name, kind, length, decimals in FIELDS:
        out += struct.pack("<11sc4xBB14x", name.encode(), kind.encode(), length, decimals)
    out += b"\x0d"
    for i in range(1, rows + 1):
        record = b" " + name_of(i).encode().ljust(10)
        record += ("%9.2f" % amount_of(i)).encode()
        record += born_of(i).strftime("%Y%m%d").encode()
        record += city_of(i).encode().ljust(12)
        assert len(record) == record_length
        out += record
    out += b"\x1a"
    with open(path, "wb") as f:
        f.write(out)


def kvhost(*args, cwd):
    run = subprocess.run([KVHOST, *args], cwd=cwd, capture_output=True, text=True, timeout=120)
    return run.returncode, run.stdout + run.stderr


def fresh(case):
    d = os.path.join(WORK, case)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    write_dbf(os.path.join(d, "people.dbf"), ROWS)
    return d


def first_last(key_of, descending=False):
    """(first key, its record), (last key, its record): equal keys by record."""
    order = sorted(range(1, ROWS + 1), key=lambda i: ((-key_of(i) if descending else key_of(i)), i))
    return (key_of(order[0]), order[0]), (key_of(order[-1]), order[-1])


def number(v):
    return ("%.15g" % v)


def expect_sound(case, code, output, keys, first=None, last=None, min_levels=1):
    if code != 0 or "verdict    sound" not in output:
        return fail(case, f"exit {code}, not sound", output)
    m = re.search(r"depth +(\d+) level", output)
    if not m or int(m.group(1)) < min_levels:
        return fail(case, f"fewer than {min_levels} levels", output)
    if f"keys     {keys}\n" not in output:
        return fail(case, f"not {keys} keys", output)
    for label, want in (("first", first), ("last", last)):
        if want is None:
            continue
        record = r"\d+" if want[1] is None else str(want[1])
        if not re.search(rf"\n  {label} +{re.escape(want[0])}  record {record}\n", output):
            return fail(case, f"{label} key is not {want[0]} record {want[1]}", output)


def expect_damaged(case, code, output, words=""):
    if code != 1 or "verdict    DAMAGED: " not in output or words not in output:
        fail(case, f"exit {code}: not reported damaged ({words})", output)


def quoted(first_last_pair):
    return tuple((f'"{k}"', r) for k, r in first_last_pair)


def numbers(first_last_pair):
    return tuple((number(k), r) for k, r in first_last_pair)


# ---- builds of every kind, checked by the tool itself ------------------------

def case_character_keys():
    d = fresh("character")
    first, last = quoted(first_last(name_of))
    for kind, file in (("ndx", "n.ndx"), ("idx", "n.idx"), ("cidx", "c.idx"), ("ntx", "n.ntx"),
                       ("mdx:NAME", "n.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "NAME",
                           cwd=d)
        expect_sound(f"character {kind}", code, out, ROWS, first, last, min_levels=2)
        # The check alone, as a separate run, says the same.
        args = ["index", "check", file, "--kind", kind]
        code, again = kvhost(*args, cwd=d)
        expect_sound(f"character {kind} check", code, again, ROWS, first, last, min_levels=2)
    if sorted(os.listdir(d)) != ["c.idx", "n.idx", "n.mdx", "n.ndx", "n.ntx", "people.dbf"]:
        fail("character: files left", str(sorted(os.listdir(d))))


def case_numeric_keys():
    d = fresh("numeric")
    first, last = numbers(first_last(amount_of))
    for kind, file in (("ndx", "a.ndx"), ("idx", "a.idx"), ("cidx", "a.cdx"), ("ntx", "a.ntx"),
                       ("mdx:AMOUNT", "a.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "AMOUNT",
                           cwd=d)
        expect_sound(f"numeric {kind}", code, out, ROWS, first, last, min_levels=2)
    # Descending: the greatest amount first, equal amounts still by record.
    first, last = numbers(first_last(amount_of, descending=True))
    for kind, file in (("cidx", "d.idx"), ("mdx:AMOUNTD", "d.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "AMOUNT",
                           "--descending", cwd=d)
        expect_sound(f"numeric descending {kind}", code, out, ROWS, first, last, min_levels=2)
    # The IDX file does not say its keys are numbers: told, the check shows them.
    code, out = kvhost("index", "check", "a.idx", "--type", "N", cwd=d)
    expect_sound("numeric idx check --type N", code, out, ROWS, *numbers(first_last(amount_of)))


def case_expression_and_date_keys():
    d = fresh("expression")
    # A computed character key: the record order of the date text.
    dtos = lambda i: born_of(i).strftime("%Y%m%d")
    first, last = quoted(first_last(dtos))
    for kind, file in (("ndx", "e.ndx"), ("cidx", "e.idx"), ("ntx", "e.ntx"), ("mdx:BORNS", "e.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr",
                           "DTOS(BORN)", cwd=d)
        expect_sound(f"expression {kind}", code, out, ROWS, first, last, min_levels=2)
    # Date keys: the records come first and last by date (the key is a day
    # number or a date text, depending on the format).
    born = lambda i: born_of(i).toordinal()
    (_, r1), (_, r2) = first_last(born)
    for kind, file in (("ndx", "b.ndx"), ("idx", "b.idx"), ("ntx", "b.ntx"), ("mdx:BORN", "b.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "BORN",
                           cwd=d)
        expect_sound(f"date {kind}", code, out, ROWS, min_levels=2)
        if not re.search(rf"first +\S+  record {r1}\n", out) or \
                not re.search(rf"last +\S+  record {r2}\n", out):
            fail(f"date {kind}: not records {r1} .. {r2}", out)


def case_unique_keys():
    """The unique flag: the engine's adds keep duplicates (its searches of a
    unique index go by key alone), so every record has its entry and equal
    keys may come in any record order."""
    d = fresh("unique")
    first, last = (f'"{min(CITIES)}"', None), (f'"{max(CITIES)}"', None)
    for kind, file in (("ndx", "u.ndx"), ("idx", "v.idx"), ("cidx", "u.idx"), ("ntx", "u.ntx"),
                       ("mdx:CITY", "u.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "CITY",
                           "--unique", cwd=d)
        expect_sound(f"unique {kind}", code, out, ROWS, first, last, min_levels=2)
        if "unique" not in out:
            fail(f"unique {kind}: layout does not say unique", out)


def case_empty_data_file():
    d = os.path.join(WORK, "empty")
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    write_dbf(os.path.join(d, "people.dbf"), 0)
    for kind, file in (("ndx", "z.ndx"), ("idx", "z.idx"), ("cidx", "y.idx"), ("ntx", "z.ntx"),
                       ("mdx:NAME", "z.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", "NAME",
                           cwd=d)
        expect_sound(f"empty {kind}", code, out, 0)


def case_mdx_tags_side_by_side():
    d = fresh("tags")
    kvhost("index", "build", "people.dbf", "p.mdx", "--kind", "mdx:NAME", "--expr", "NAME", cwd=d)
    code, out = kvhost("index", "build", "people.dbf", "p.mdx", "--kind", "mdx:AMT", "--expr",
                       "AMOUNT", cwd=d)
    expect_sound("second tag", code, out, ROWS, *numbers(first_last(amount_of)))
    code, out = kvhost("index", "check", "p.mdx", cwd=d)
    if code != 0 or "MDX (2 tags)" not in out or "tag        NAME" not in out or \
            "tag        AMT" not in out:
        fail("two tags: not both reported", out)
    code, out = kvhost("index", "check", "p.mdx", "--tag", "amt", cwd=d)
    if code != 0 or "tag        NAME" in out or "tag        AMT" not in out:
        fail("--tag amt: not that tag alone", out)
    code, out = kvhost("index", "check", "p.mdx", "--tag", "NOSUCH", cwd=d)
    expect_damaged("--tag NOSUCH", code, out, "no tag NOSUCH")
    # A tag that cannot be built leaves the file and its tags as they were.
    code, out = kvhost("index", "build", "people.dbf", "p.mdx", "--kind", "mdx:BAD", "--expr",
                       "NOSUCHFIELD+1", cwd=d)
    if code != 1 or "build      FAILED" not in out:
        fail("bad tag: not refused", out)
    code, out = kvhost("index", "check", "p.mdx", cwd=d)
    if code != 0 or "MDX (2 tags)" not in out:
        fail("bad tag: the file changed", out)


# ---- refusals and failed builds ----------------------------------------------

def case_failed_builds_leave_nothing():
    d = fresh("failed")
    for kind, file in (("ndx", "f.ndx"), ("idx", "f.idx"), ("ntx", "f.ntx"), ("mdx:F", "f.mdx")):
        code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr",
                           "NOSUCHFIELD+1", cwd=d)
        if code != 1 or "build      FAILED" not in out:
            fail(f"bad expression {kind}: not refused", out)
    code, out = kvhost("index", "build", "nosuch.dbf", "g.ndx", "--expr", "NAME", cwd=d)
    if code != 1 or "cannot open the data file" not in out:
        fail("missing data file: not refused", out)
    for args, words in ((["--kind", "ndx", "--descending"], "descending"),
                        (["--kind", "idx", "--descending"], "compact form"),
                        (["--kind", "mdx"], "name the tag")):
        code, out = kvhost("index", "build", "people.dbf", "h.ndx", "--expr", "LEFT(NAME,3)+CITY",
                           *args, cwd=d)
        if code != 1 or words not in out:
            fail(f"refusal {args}: not refused with '{words}'", out)
    if sorted(os.listdir(d)) != ["people.dbf"]:
        fail("failed builds left files", str(sorted(os.listdir(d))))


def case_usage_errors():
    d = fresh("usage")
    for args in (["index"], ["index", "build", "people.dbf"],
                 ["index", "build", "people.dbf", "x.ndx"],  # no --expr
                 ["index", "build", "people.dbf", "x.ndx", "--expr", "NAME", "--kind", "dbf"],
                 ["index", "build", "people.dbf", "x.ndx", "--expr", "NAME", "--kind", "ndx:T"],
                 ["index", "build", "people.dbf", "x.ndx", "--expr", "NAME", "--len", "0"],
                 ["index", "build", "people.dbf", "x.ndx", "--expr", "NAME", "--type", "L"],
                 ["index", "build", "people.dbf", "x.ndx", "--expr"],
                 ["index", "build", "people.dbf", "x.dat", "--expr", "NAME"],  # kind unknown
                 ["index", "check"], ["index", "check", "x.ndx", "--bogus"],
                 ["index", "check", "x.ndx", "--type"], ["index", "frobnicate"]):
        code, out = kvhost(*args, cwd=d)
        if code != 2 or "usage" not in out and "--kind" not in out:
            fail(f"usage {args}: exit {code}", out)
    if sorted(os.listdir(d)) != ["people.dbf"]:
        fail("usage errors left files", str(sorted(os.listdir(d))))


# ---- damaged files -----------------------------------------------------------

def built(d, kind, file, expression="NAME"):
    code, out = kvhost("index", "build", "people.dbf", file, "--kind", kind, "--expr", expression,
                       cwd=d)
    if code != 0:
        fail(f"build {kind} for damage", out)
        return None
    return os.path.join(d, file)


def patch(path, offset, data):
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(data)


def case_damaged_files():
    d = fresh("damaged")
    smallest = name_of(first_last(name_of)[0][1]).encode()
    for kind, file, unit in (("ndx", "t.ndx", 512), ("idx", "t.idx", 512), ("cidx", "s.idx", 512),
                             ("ntx", "t.ntx", 1024), ("mdx:NAME", "t.mdx", 1024)):
        path = built(d, kind, file)
        if path is None:
            continue
        # The last page cut off.
        with open(path, "r+b") as f:
            f.truncate(os.path.getsize(path) - unit)
        code, out = kvhost("index", "check", file, "--kind", kind, cwd=d)
        expect_damaged(f"truncated {kind}", code, out)
        # The smallest key, where it is stored whole, made the greatest.
        os.remove(path)
        path = built(d, kind, file)
        if path is None:
            continue
        data = open(path, "rb").read()
        at = data.find(smallest)
        if kind != "cidx":  # compact leaves store keys compressed
            if at < 0:
                fail(f"{kind}: smallest key not found in the file")
                continue
            patch(path, at, b"Z" * len(smallest))
            code, out = kvhost("index", "check", file, "--kind", kind, cwd=d)
            expect_damaged(f"key out of order {kind}", code, out)
        # Empty and foreign files: reported, never a crash.
        open(path, "wb").close()
        code, out = kvhost("index", "check", file, "--kind", kind, cwd=d)
        expect_damaged(f"empty file {kind}", code, out)
        shutil.copy(os.path.join(d, "people.dbf"), path)
        code, out = kvhost("index", "check", file, "--kind", kind, cwd=d)
        expect_damaged(f"data file as {kind}", code, out)
    code, out = kvhost("index", "check", "nosuch.ndx", cwd=d)
    expect_damaged("missing file", code, out, "no such file")
    os.makedirs(os.path.join(d, "dir.ndx"))
    code, out = kvhost("index", "check", "dir.ndx", cwd=d)
    expect_damaged("directory", code, out, "not a regular file")


def case_files_of_other_programs():
    """NTX files written by other programs (the test fixtures): sound when the
    rules only this engine keeps are left out."""
    fixtures = os.path.join(SOURCE, "tests", "fixtures", "ntx")
    for name in ("names.ntx", "amounts.ntx", "dates.ntx"):
        code, out = kvhost("index", "check", os.path.join(fixtures, name), "--lenient", cwd=WORK)
        expect_sound(f"fixture {name}", code, out, 60)


def main():
    os.makedirs(WORK, exist_ok=True)
    for case in (case_character_keys, case_numeric_keys, case_expression_and_date_keys,
                 case_unique_keys, case_empty_data_file, case_mdx_tags_side_by_side,
                 case_failed_builds_leave_nothing, case_usage_errors, case_damaged_files,
                 case_files_of_other_programs):
        before = len(FAILURES)
        case()
        print(("ok   " if len(FAILURES) == before else "FAIL ") + case.__name__)
    if FAILURES:
        print(f"{len(FAILURES)} failures")
        return 1
    print("all cases passed")
    return 0


sys.exit(main())

#!/usr/bin/python3
"""Memo files written and read by python3-dbf and python3-dbfread.

usage:
  memo_oracle.py write OUTDIR          python3-dbf writes py_db3.dbf/.dbt
                                       (dBASE III) and py_fp.dbf/.fpt
                                       (FoxPro), one record per test text
  memo_oracle.py read-dbf FILE OUTDIR  python3-dbf reads FILE: the memo of
                                       record N goes to OUTDIR/rN.bin
  memo_oracle.py read-dbfread FILE OUTDIR   the same with python3-dbfread

Record N holds test text N (see text()); the C++ tests build the same texts.
A missing module stops the script with exit code 2.
"""
import os
import sys

LENGTHS = [0, 1, 509, 510, 511, 512, 513, 100000]


def text(length, seed):
    """The test text: letters with a CR LF every 61 bytes and a space every
    13, so that every byte position of a block boundary is met."""
    out = bytearray(length)
    for i in range(length):
        k = i % 61
        if k == 59:
            out[i] = 0x0D
        elif k == 60:
            out[i] = 0x0A
        elif i % 13 == 12:
            out[i] = 0x20
        else:
            out[i] = ord('a') + (i * 7 + seed) % 26
    return bytes(out)


def need(module):
    try:
        return __import__(module)
    except ImportError:
        sys.stderr.write('memo_oracle.py: python3 module %s is missing; '
                         'run scripts/install-deps.sh\n' % module)
        sys.exit(2)


def write(outdir):
    dbf = need('dbf')
    os.makedirs(outdir, exist_ok=True)
    for name, kind in (('py_db3', 'db3'), ('py_fp', 'fp')):
        table = dbf.Table(os.path.join(outdir, name), 'name C(10); note M',
                          dbf_type=kind, codepage='cp1252')
        table.open(dbf.READ_WRITE)
        for n, length in enumerate(LENGTHS, start=1):
            table.append(('r%d' % n, text(length, n).decode('cp1252')))
        table.close()


def dump(outdir, memos):
    os.makedirs(outdir, exist_ok=True)
    for n, memo in memos:
        if memo is None:
            continue
        if isinstance(memo, str):
            memo = memo.encode('cp1252')
        with open(os.path.join(outdir, 'r%d.bin' % n), 'wb') as f:
            f.write(memo)


def read_dbf(path, outdir):
    dbf = need('dbf')
    table = dbf.Table(path, codepage='cp1252')
    table.open(dbf.READ_ONLY)
    memos = [(n, record.note) for n, record in enumerate(table, start=1)]
    table.close()
    dump(outdir, memos)


def read_dbfread(path, outdir):
    dbfread = need('dbfread')
    table = dbfread.DBF(path, encoding='cp1252', char_decode_errors='strict')
    dump(outdir, [(n, record['NOTE']) for n, record in enumerate(table, start=1)])


def main(argv):
    if len(argv) == 3 and argv[1] == 'write':
        write(argv[2])
    elif len(argv) == 4 and argv[1] == 'read-dbf':
        read_dbf(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == 'read-dbfread':
        read_dbfread(argv[2], argv[3])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

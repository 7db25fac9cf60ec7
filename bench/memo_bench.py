#!/usr/bin/python3
"""python3-dbf writing and then reading memos, for bench/run-memo.sh.

usage: memo_bench.py db3|fp FILE N SEED

Writes a new table (dBASE III with a .dbt, or FoxPro with a .fpt) with one
memo field, appends N records whose memo texts have the lengths and contents
of bench/memo_bench.cpp (200 to 5,000 bytes, slices of one pseudo-random
pool chosen by the same generator and seed), closes it, then opens it again
and reads every memo. Prints "write SECONDS read SECONDS check SUM" where SUM
(lengths plus the middle byte of every text) must equal bench_memo's.
"""
import sys
import time

POOL_SIZE = 1 << 20
MASK = (1 << 64) - 1


def pool():
    out = bytearray(POOL_SIZE)
    x = 0x9E3779B97F4A7C15
    for i in range(POOL_SIZE):
        x = (x * 6364136223846793005 + 1442695040888963407) & MASK
        r = (x >> 33) % 32
        out[i] = 0x20 if r >= 26 else 0x61 + r
    return bytes(out)


def texts(n, seed, base):
    x = seed & MASK
    for _ in range(n):
        x = (x * 6364136223846793005 + 1442695040888963407) & MASK
        length = 200 + (x >> 33) % 4801
        start = (x >> 11) % (POOL_SIZE - 5000)
        yield base[start:start + length]


def main(argv):
    if len(argv) != 5 or argv[1] not in ('db3', 'fp'):
        sys.stderr.write(__doc__)
        return 2
    import dbf
    kind, path, n, seed = argv[1], argv[2], int(argv[3]), int(argv[4])
    base = pool()
    items = [t.decode('ascii') for t in texts(n, seed, base)]
    start = time.perf_counter()
    table = dbf.Table(path, 'note M', dbf_type=kind, codepage='cp1252')
    table.open(dbf.READ_WRITE)
    for text in items:
        table.append((text,))
    table.close()
    write = time.perf_counter() - start
    start = time.perf_counter()
    table = dbf.Table(path, codepage='cp1252')
    table.open(dbf.READ_ONLY)
    check = 0
    for record in table:
        text = record.note
        check += len(text) + ord(text[len(text) // 2])
    table.close()
    read = time.perf_counter() - start
    print('write %.3f read %.3f check %d' % (write, read, check))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

#!/usr/bin/python3
"""The other tools' side of bench/run-dbf-write.sh: the same records and
updates as bench_dbf_write (see bench/dbf_write_bench.cpp).

  dbf_write_tools.py csv CSV N            the records as CSV (+ .csvt) for ogr2ogr
  dbf_write_tools.py python-dbf FILE N U  python3-dbf appends and updates
  dbf_write_tools.py gdal-update FILE N U GDAL (osgeo.ogr) updates

Timed phases are printed as "append S update S" (or "update S")."""
import datetime
import sys
import time


def record(r):
    return ("NAME%d" % r, (r % 100000) / 4.0, r % 1000000,
            datetime.date(2000 + r % 20, 1 + r % 12, 1 + r % 28), r % 2 == 1)


def updates(n, count):
    x = 12345
    for k in range(1, count + 1):
        x = (x * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        yield k, 1 + (x >> 33) % n


def write_csv(path, n):
    with open(path, "w") as f:
        f.write("NAME,AMOUNT,QTY,DAY,OK\n")
        for r in range(1, n + 1):
            name, amount, qty, day, ok = record(r)
            f.write("%s,%.2f,%d,%s,%d\n" % (name, amount, qty, day.isoformat(), 1 if ok else 0))
    with open(path + "t", "w") as f:
        f.write('"String(20)","Real(12.2)","Integer(8)","Date","Integer(Boolean)"\n')


def python_dbf(path, n, count):
    import dbf
    table = dbf.Table(path, "NAME C(20); AMOUNT N(12,2); QTY N(8,0); DAY D; OK L", dbf_type="db3")
    table.open(dbf.READ_WRITE)
    start = time.monotonic()
    for r in range(1, n + 1):
        table.append(record(r))
    append = time.monotonic() - start
    start = time.monotonic()
    for k, r in updates(n, count):
        with table[r - 1] as rec:
            rec.amount = k / 2.0
    update = time.monotonic() - start
    table.close()
    print("append %.3f update %.3f" % (append, update))


def gdal_update(path, n, count):
    from osgeo import ogr
    ogr.UseExceptions()
    source = ogr.Open(path, update=1)
    layer = source.GetLayer(0)
    start = time.monotonic()
    for k, r in updates(n, count):
        feature = layer.GetFeature(r - 1)
        feature.SetField("AMOUNT", k / 2.0)
        layer.SetFeature(feature)
    update = time.monotonic() - start
    source = None  # closes and writes
    print("update %.3f" % update)


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "csv":
        write_csv(sys.argv[2], int(sys.argv[3]))
    elif what == "python-dbf":
        python_dbf(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif what == "gdal-update":
        gdal_update(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))

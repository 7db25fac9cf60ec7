"""Reads every record of a data file with dbfread (every field parsed into a
Python value), as the benchmark's comparison.

    dbfread_read.py FILE           prints the record and field counts
    dbfread_read.py --check FILE   also prints the sum of the N and F values
                                   in file order, which bench_dbf_read's
                                   checksum must match, and the number of
                                   null values (empty dates)
"""
import sys

import dbfread


def main():
    args = sys.argv[1:]
    check = args[:1] == ["--check"]
    if check:
        args = args[1:]
    if len(args) != 1:
        sys.exit("usage: dbfread_read.py [--check] FILE")
    table = dbfread.DBF(args[0])
    records = fields = 0
    if check:
        numeric = [f.name for f in table.fields if f.type in "NF"]
        total = 0.0
        nulls = 0
        for record in table:
            records += 1
            fields += len(record)
            for name in numeric:
                value = record[name]
                if value is not None:
                    total += value
            nulls += sum(1 for value in record.values() if value is None)
        print(f"records {records} fields {fields} numbers {total:.2f} nulls {nulls}")
    else:
        for record in table:
            records += 1
            fields += len(record)
        print(f"records {records} fields {fields}")


main()

#!/usr/bin/python3
"""Writes the demo's sample table with python3-dbf: a dBASE III file with a
dBASE III memo file (customers.dbf and customers.dbt).

usage: /usr/bin/python3 make_sample.py [OUTDIR]    (default: host/samples)

The header's date of the last update is the day the script runs; every
other byte depends only on the rows below.
"""

import datetime
import os
import sys

import dbf

D = datetime.date

FIELDS = ("CUSTNO N(5,0); NAME C(30); CITY C(20); COUNTRY C(15); SINCE D; "
          "BALANCE N(10,2); ACTIVE L; NOTES M")

ROWS = [
    (1001, "Boulangerie Martin", "Lyon", "France", D(1994, 3, 14), 1250.75, True,
     "Orders every Monday. Pays by cheque at the end of the month."),
    (1002, "Müller & Söhne GmbH", "Köln", "Germany", D(1998, 11, 2), -342.10, True,
     "Credit note pending for the March delivery."),
    (1003, "Hansen Shipping", "Bergen", "Norway", D(2001, 6, 30), 0.00, False,
     "Account closed in 2019; kept for the archive."),
    (1004, "Café de la Gare", "Genève", "Switzerland", D(2003, 1, 20), 87.40, True, ""),
    (1005, "Rossi Ferramenta", "Torino", "Italy", D(2005, 9, 9), 15820.00, True,
     "Key account.\r\nContact: Giulia Rossi, purchasing.\r\nVisit twice a year."),
    (1006, "O'Neill Books", "Galway", "Ireland", None, 12.99, None,
     "Date of first order unknown (migrated from the old card index)."),
    (1007, "García Hermanos", "Sevilla", "Spain", D(2010, 4, 1), 4410.25, True,
     "Prefers deliveries before 9:00."),
    (1008, "Van Dijk Bloemen", "Leiden", "Netherlands", D(2012, 2, 29), -15.00, True, ""),
    (1009, "Nowak Sp. z o.o.", "Kraków", "Poland", D(2015, 7, 15), 990.00, False,
     "Moved to a new address; the old one is still on two open invoices."),
    (1010, "Lefèvre Électricité", "Lille", "France", D(2018, 12, 31), 2300.50, True,
     "Asks for invoices in duplicate."),
    (1011, "Dubois Transports", "Namur", "Belgium", D(2020, 5, 5), 0.00, False,
     "Duplicate of 1001's carrier account: to be removed."),
    (1012, "Svensson Design AB", "Malmö", "Sweden", D(2023, 10, 16), 640.00, True,
     "Newest customer. Welcome pack sent."),
]

DELETED = [10]  # Dubois Transports, marked for removal


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "host", "samples")
    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, "customers.dbf")
    for old in (path, path[:-4] + ".dbt"):
        if os.path.exists(old):
            os.remove(old)
    table = dbf.Table(path, FIELDS, dbf_type="db3", codepage="cp1252")
    table.open(dbf.READ_WRITE)
    for row in ROWS:
        table.append(row)
    for index in DELETED:
        dbf.delete(table[index])
    table.close()
    with open(path, "rb") as f:
        if f.read(1) != b"\x83":
            sys.exit(path + ": python3-dbf did not write a dBASE III file with memo (0x83)")
    print("wrote", path, "and", path[:-4] + ".dbt")


if __name__ == "__main__":
    main()

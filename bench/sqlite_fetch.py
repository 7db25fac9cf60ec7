"""Fetches every row of a query with python3's sqlite3 module and writes the
lines to standard output, '|' between the columns (bench/run-odbc.sh)."""
import sqlite3
import sys


def main():
    database, query = sys.argv[1], sys.argv[2]
    out = sys.stdout
    connection = sqlite3.connect(database)
    for row in connection.execute(query):
        out.write("|".join("" if v is None else str(v) for v in row))
        out.write("\n")


if __name__ == "__main__":
    main()

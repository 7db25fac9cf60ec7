#!/usr/bin/env bash
# Writes the odbcinst.ini and odbc.ini that the ODBC tests, the demo and
# the benchmark use into DIR; they are read through ODBCSYSINI=DIR and
# ODBCINI=DIR/odbc.ini, never the system's files.
#   odbc-config.sh DIR PORT [FAKE_DRIVER]
# Data sources: "KvSQLite" (a SQLite file in DIR), "KvPostgres" (the test
# server on 127.0.0.1:PORT, database kvtest), "KvPostgresSpare" (the same on
# PORT + 10) and, with FAKE_DRIVER, "KvFake".
set -euo pipefail
dir=${1:?directory}
port=${2:?port}
fake=${3:-}
odbc_lib=/usr/lib/x86_64-linux-gnu/odbc
for library in "$odbc_lib/libsqlite3odbc.so" "$odbc_lib/psqlodbca.so"; do
  if [ ! -f "$library" ]; then
    echo "odbc-config.sh: $library is missing (install libsqliteodbc and odbc-postgresql)" >&2
    exit 1
  fi
done
mkdir -p "$dir"
{
  echo "[KvSQLite3]"
  echo "Description=SQLite 3 through libsqliteodbc"
  echo "Driver=$odbc_lib/libsqlite3odbc.so"
  echo
  echo "[KvPostgreSQL]"
  echo "Description=PostgreSQL through psqlodbc (ANSI)"
  echo "Driver=$odbc_lib/psqlodbca.so"
  if [ -n "$fake" ]; then
    echo
    echo "[KvFakeDriver]"
    echo "Description=the tests' own driver without SQLDriverConnect"
    echo "Driver=$fake"
  fi
} >"$dir/odbcinst.ini"
{
  echo "[KvSQLite]"
  echo "Driver=KvSQLite3"
  echo "Database=$dir/kvtest.sqlite"
  echo
  echo "[KvPostgres]"
  echo "Driver=KvPostgreSQL"
  echo "Servername=127.0.0.1"
  echo "Port=$port"
  echo "Database=kvtest"
  echo "ConnSettings=SET client_encoding TO 'WIN1252'"
  echo "ByteaAsLongVarBinary=1"
  echo "MaxLongVarcharSize=-1"
  echo "TextAsLongVarchar=1"
  echo
  # A second server that a test stops in the middle of a session.
  echo "[KvPostgresSpare]"
  echo "Driver=KvPostgreSQL"
  echo "Servername=127.0.0.1"
  echo "Port=$((port + 10))"
  echo "Database=kvtest"
  echo "ConnSettings=SET client_encoding TO 'WIN1252'"
  if [ -n "$fake" ]; then
    echo
    echo "[KvFake]"
    echo "Driver=KvFakeDriver"
  fi
} >"$dir/odbc.ini"
echo "odbc-config.sh: odbcinst.ini and odbc.ini in $dir"

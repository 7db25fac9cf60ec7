#!/usr/bin/env bash
# Writes DBF files with GDAL's ogr2ogr (the "ESRI Shapefile" driver given a
# .dbf name writes the table alone) and their expectations from GDAL's own
# reading.
#
# usage: make_gdal_dbf.sh OUTDIR
set -euo pipefail

out=${1:?usage: make_gdal_dbf.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
command -v ogr2ogr >/dev/null || { echo "make_gdal_dbf.sh: ogr2ogr missing (gdal-bin)" >&2; exit 1; }
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The same rows three times: plain, without the 0x1A end byte, and with
# empty values, which GDAL stores as '*' runs in numbers and as 00000000 in
# dates.
cat >"$work/rows.csv" <<'CSV'
name,city,amount,qty,big,born
Alice Martin,Paris,-12.5,3,123456789012345,1999-12-31
Zoë Müller,Köln,1234567.891,-42,-98765432109876,2024-02-29
"Comma, Inc",Saint-Étienne,0,0,0,2000-01-01
Tiny,Nice,-0.001,999999,1,1900-01-01
Max,Z,99999999.999,-99999,999999999999999,9999-12-31
CSV
printf '%s\n' '"String(24)","String(16)","Real(12.3)","Integer(6)","Integer64(15)","Date"' \
  >"$work/rows.csvt"
cat >"$work/nulls.csv" <<'CSV'
name,city,amount,qty,big,born
Alice Martin,Paris,-12.5,3,7,1999-12-31
Nobody,,,,,
,Empty name,1.5,,2,2001-02-03
CSV
cp "$work/rows.csvt" "$work/nulls.csvt"

make() {  # name source last-update(yyyy-mm-dd) extra options...
  local name=$1 source=$2 lud=$3
  shift 3
  rm -f "$out/$name".*
  ogr2ogr -f "ESRI Shapefile" "$out/$name.dbf" "$work/$source.csv" -nln "$name" \
    -lco ENCODING=CP1252 -lco DBF_DATE_LAST_UPDATE="$lud" "$@"
  /usr/bin/python3 "$here/gdal_expect.py" "$out/$name.dbf" "${lud//-/}"
}

make gdal_basic rows 2023-04-05
make gdal_noeof rows 2019-11-30 -lco DBF_EOF_CHAR=NO
make gdal_nulls nulls 2001-01-01

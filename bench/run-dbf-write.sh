#!/usr/bin/env bash
# Data file writing: appending 1,000,000 records and then updating 100,000
# records chosen at random, by our engine (bench_dbf_write), python3-dbf and
# GDAL (ogr2ogr from CSV for the appends, osgeo.ogr SetFeature for the
# updates), all in one run; every tool's file is then summed by our reader to
# check that it holds the same records and amounts.
#
#   bench/run-dbf-write.sh BUILD_DIR
#
# KV_WRITE_BENCH_N and KV_WRITE_BENCH_U change the sizes for a quick try; such
# a run leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench="$build/bin/bench_dbf_write"
tools="$repo/bench/dbf_write_tools.py"
python=/usr/bin/python3
n=${KV_WRITE_BENCH_N:-1000000}
u=${KV_WRITE_BENCH_U:-100000}
section="Data file writing: appends and updates"

for tool in "$bench" "$python" /usr/bin/ogr2ogr; do
  [ -x "$tool" ] || { echo "missing: $tool (build with -DKV_BENCH=ON; run scripts/install-deps.sh)" >&2; exit 1; }
done
"$python" -c 'import dbf' || { echo "missing: python3-dbf" >&2; exit 1; }
"$python" -c 'from osgeo import ogr' || { echo "missing: python3-gdal" >&2; exit 1; }

work="$build/bench-data/write"
rm -rf "$work"
mkdir -p "$work/gdal"
"$python" "$tools" csv "$work/in.csv" "$n"

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "data file writing: $n appends, $u updates; load average $load"
ours=$("$bench" "$work/ours.dbf" "$n" "$u")
echo "kvxbase:     $ours"
theirs=$("$python" "$tools" python-dbf "$work/pydbf.dbf" "$n" "$u")
echo "python3-dbf: $theirs"
start=$(date +%s.%N)
ogr2ogr -f "ESRI Shapefile" "$work/gdal/gdal.dbf" "$work/in.csv"
gdal_append=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.3f", b - a}')
gdal_update=$("$python" "$tools" gdal-update "$work/gdal/gdal.dbf" "$n" "$u")
gdal_update=${gdal_update#update }
echo "GDAL:        append $gdal_append update $gdal_update"

# Same records and amounts in every file.
want=$("$bench" --sum "$work/ours.dbf")
for f in "$work/pydbf.dbf" "$work/gdal/gdal.dbf"; do
  got=$("$bench" --sum "$f")
  [ "$got" = "$want" ] || { echo "check failed: $f holds '$got', ours '$want'" >&2; exit 1; }
done
echo "checked: every file holds $want"

field() { echo "$1" | awk -v k="$2" '{ for (i = 1; i < NF; ++i) if ($i == k) print $(i + 1) }'; }
ours_a=$(field "$ours" append)
ours_u=$(field "$ours" update)
py_a=$(field "$theirs" append)
py_u=$(field "$theirs" update)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.1f", a / b; else print "-" }'; }
table=$(
  echo "| tool | $n appends (s) | $u updates (s) | appends: ours faster by | updates: ours faster by |"
  echo "|---|---:|---:|---:|---:|"
  echo "| kvxbase (XBDDFPUT + XBDDRPUT) | $ours_a | $ours_u | - | - |"
  echo "| python3-dbf | $py_a | $py_u | $(ratio "$py_a" "$ours_a")x | $(ratio "$py_u" "$ours_u")x |"
  echo "| GDAL (ogr2ogr from CSV; osgeo.ogr SetFeature) | $gdal_append | $gdal_update | $(ratio "$gdal_append" "$ours_a")x | $(ratio "$gdal_update" "$ours_u")x |"
)
echo
echo "$table"
met=$(awk -v o="$ours_a" -v p="$py_a" -v g="$gdal_append" -v ou="$ours_u" -v pu="$py_u" -v gu="$gdal_update" \
  'BEGIN{ print (o < p && o < g && ou < pu && ou < gu) ? "met" : "missed" }')
echo "target (faster than both tools in both phases): $met"

if [ "$n" -ne 1000000 ] || [ "$u" -ne 100000 ]; then
  echo "quick run: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-dbf-write.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) CPUs,"
  echo "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), load average $load (the"
  echo "machine is shared: wall times include waiting for a CPU). One run each, wall time,"
  echo "of the build given to the script ($(basename "$build"))."
  echo
  echo "Every tool writes a new dBASE III file with NAME C(20), AMOUNT N(12,2), QTY N(8),"
  echo "DAY D and OK L, appends $n records, then updates AMOUNT of $u records"
  echo "chosen by the same pseudo-random sequence; the script then sums AMOUNT of every"
  echo "file with our reader and checks that all three hold the same records and sums."
  echo
  echo "$table"
  echo
  echo "Target (faster than both tools in both phases): **$met**."
  echo
  echo "- kvxbase: \`XBDDFPUT\` for the five fields and \`XBDDRPUT\` (append) per record;"
  echo "  each append writes the record with its end byte and the new record count, so"
  echo "  the file is whole after every record. An update is \`XBDDRGET\`, \`XBDDFPUT\`,"
  echo "  \`XBDDRPUT\` (update)."
  echo "- python3-dbf: \`Table.append\` per record; updates through \`with table[r] as rec\`."
  echo "- GDAL: \`ogr2ogr -f \"ESRI Shapefile\"\` from a CSV file (with a .csvt naming the"
  echo "  types; writing the CSV is not timed), then \`GetFeature\`/\`SetField\`/\`SetFeature\`"
  echo "  through osgeo.ogr (python3-gdal) for the updates."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

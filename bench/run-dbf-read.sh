#!/usr/bin/env bash
# Sequential read of a 1,000,000-record data file: our engine against
# dbfread, GDAL, a shapelib reader and the floor (cat), every run warm (the
# file in the page cache, every reader run once untimed first).
#
#   bench/run-dbf-read.sh BUILD_DIR
#
# The readers take turns: each repetition runs every reader once, in the
# same order, so that load on the shared machine falls on all of them alike;
# the table keeps each reader's median wall and CPU time over the
# repetitions. Writes the data file once into BUILD_DIR/bench-data, prints
# the table and replaces the section "Sequential read of a 1,000,000-record
# data file" in docs/benchmarks.md. KV_BENCH_RECORDS=N runs the same on N
# records for a quick try (docs/benchmarks.md is then left alone);
# KV_READ_BENCH_RUNS sets the repetitions (default 5).
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
reader="$build/bin/bench_dbf_read"
reader_ahead="$build/bin/bench_dbf_read_ahead"
shp_reader="$build/bin/bench_shp_dbf_read"
maker="$build/bin/bench_make_dbf"
python=/usr/bin/python3 # Debian's, with python3-dbfread
dbfread_script="$repo/bench/dbfread_read.py"
records=${KV_BENCH_RECORDS:-1000000}
runs=${KV_READ_BENCH_RUNS:-5}
section="Sequential read of a 1,000,000-record data file"

for tool in "$reader" "$reader_ahead" "$shp_reader" "$maker" "$python" /usr/bin/ogrinfo /usr/bin/ogr2ogr; do
  if [ ! -x "$tool" ]; then
    echo "missing: $tool (build with -DKV_BENCH=ON; run scripts/install-deps.sh)" >&2
    exit 1
  fi
done
"$python" -c 'import dbfread' || {
  echo "missing: python3-dbfread" >&2
  exit 1
}

work="$build/bench-data"
file="$work/records-$records.dbf"
mkdir -p "$work"
if [ ! -f "$file" ] || [ "$maker" -nt "$file" ]; then
  echo "writing $file"
  "$maker" "$file.tmp" "$records"
  mv "$file.tmp" "$file"
fi

fail() {
  echo "check failed: $*" >&2
  exit 1
}

# --- Every reader must see the whole file before its time counts. --------
# These runs also warm the page cache and each tool's own files.
echo "checking that every reader reads all $records records"
cat "$file" >/dev/null
ours=$("$reader" "$file")
[[ "$ours" == "records $records fields $((records * 10)) "* ]] || fail "bench_dbf_read: $ours"
ahead=$("$reader_ahead" --read-ahead "$file")
[ "${ahead#*checksum }" = "${ours#*checksum }" ] || fail "read-ahead mode differs: $ahead"
our_numbers=$(echo "$ours" | sed 's/.*checksum \([^/]*\)\/.*/\1/')
theirs=$("$python" "$dbfread_script" --check "$file")
[[ "$theirs" == "records $records fields $((records * 10)) numbers $our_numbers nulls "* ]] ||
  fail "dbfread read '$theirs', we read '$ours'"
nulls=${theirs##* }
shp=$("$shp_reader" "$file")
[[ "$shp" == "records $records fields $((records * 10)) numbers $our_numbers "* ]] ||
  fail "shapelib read '$shp', we read '$ours'"
# ogrinfo prints every feature and a line for each field that is not null.
read -r features values < <(ogrinfo -al -q "$file" |
  awk '/^OGRFeature\(/ { f++ } /^  [A-Z_0-9]+ \(/ { v++ } END { print f + 0, v + 0 }')
[ "$features" = "$records" ] || fail "ogrinfo printed $features features"
[ "$values" = "$((records * 10 - nulls))" ] || fail "ogrinfo printed $values values"

# --- Timing --------------------------------------------------------------
memory_copy() { ogr2ogr -f Memory bench "$1"; }
ogrinfo_all() { ogrinfo -al -q "$1" >/dev/null; }
cat_file() { cat "$1" >/dev/null; }

labels=(
  "kvxbase (XBDDRGET + XBDDFGET)"
  "kvxbase, read-ahead buffer"
  "dbfread"
  "GDAL ogrinfo -al -q"
  "GDAL ogr2ogr -f Memory"
  "shapelib (DBFRead*Attribute)"
  "cat (floor)"
)
commands=(
  "$reader $file"
  "$reader_ahead --read-ahead $file"
  "$python $dbfread_script $file"
  "ogrinfo_all $file"
  "memory_copy $file"
  "$shp_reader $file"
  "cat_file $file"
)
shown_commands=(
  "build/bin/bench_dbf_read FILE"
  "build/bin/bench_dbf_read_ahead --read-ahead FILE"
  "/usr/bin/python3 bench/dbfread_read.py FILE"
  "ogrinfo -al -q FILE >/dev/null"
  "ogr2ogr -f Memory bench FILE"
  "build/bin/bench_shp_dbf_read FILE"
  "cat FILE >/dev/null"
)
memory_copy "$file" >/dev/null 2>&1 # the one reader not run by the checks

declare -a wall_lists cpu_lists
start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "timing ($runs interleaved repetitions, warm), load average $load"
for ((run = 0; run < runs; ++run)); do
  for i in "${!commands[@]}"; do
    # shellcheck disable=SC2086 # the command is split on purpose
    line=$({ TIMEFORMAT='%R %U %S'; time ${commands[$i]} >/dev/null 2>&1; } 2>&1)
    wall_lists[$i]+="$(echo "$line" | awk '{print $1}') "
    cpu_lists[$i]+="$(echo "$line" | awk '{printf "%.3f", $2 + $3}') "
  done
done
elapsed=$(($(date +%s) - start))

median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END {
  if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
declare -a walls cpus
for i in "${!commands[@]}"; do
  walls[$i]=$(echo "${wall_lists[$i]}" | median)
  cpus[$i]=$(echo "${cpu_lists[$i]}" | median)
  printf '%-34s %8s s wall %8s s cpu   (walls: %s)\n' "${labels[$i]}" "${walls[$i]}" "${cpus[$i]}" \
    "${wall_lists[$i]}"
done

# --- Table ---------------------------------------------------------------
ours_wall=${walls[0]}
ours_cpu=${cpus[0]}
floor=$((${#labels[@]} - 1))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "-" }'; }
# "Nx faster" when the other reader takes longer than ours, else "Nx slower".
versus() {
  awk -v them="$1" -v us="$2" 'BEGIN{
    if (us <= 0 || them <= 0) print "-";
    else if (them >= us) printf "%.2fx faster", them / us;
    else printf "%.2fx slower", us / them }'
}
table=$(
  echo "| reader | command | wall s | cpu s | ours (wall) vs it | ours (cpu) vs it |"
  echo "|---|---|---:|---:|---:|---:|"
  for i in "${!labels[@]}"; do
    if [ "$i" -eq 0 ]; then
      vs="1 (reference)"
      vs_cpu="1 (reference)"
    elif [ "$i" -eq "$floor" ]; then
      vs="$(ratio "$ours_wall" "${walls[$i]}")x the floor"
      vs_cpu="$(ratio "$ours_cpu" "${cpus[$i]}")x the floor"
    else
      vs=$(versus "${walls[$i]}" "$ours_wall")
      vs_cpu=$(versus "${cpus[$i]}" "$ours_cpu")
    fi
    echo "| ${labels[$i]} | \`${shown_commands[$i]}\` | ${walls[$i]} | ${cpus[$i]} | $vs | $vs_cpu |"
  done
)
echo
echo "$table"

verdict() { # verdict CONDITION: "met" or "missed"
  if awk "BEGIN{exit !($1)}"; then echo "met"; else echo "missed"; fi
}
peers_ok=$(verdict "${walls[2]} >= 5 * $ours_wall && ${walls[3]} >= 5 * $ours_wall && \
  ${walls[4]} >= 5 * $ours_wall && ${walls[5]} >= 5 * $ours_wall")
floor_ok=$(verdict "$ours_wall <= 10 * ${walls[$floor]}")
floor_cpu_ok=$(verdict "$ours_cpu <= 10 * ${cpus[$floor]}")
targets=$(
  echo "- at least 5x faster than every peer: **$peers_ok** (dbfread $(ratio "${walls[2]}" "$ours_wall")x," \
    "ogrinfo $(ratio "${walls[3]}" "$ours_wall")x, ogr2ogr $(ratio "${walls[4]}" "$ours_wall")x," \
    "shapelib $(ratio "${walls[5]}" "$ours_wall")x)"
  echo "- within 10x of the floor (cat): **$floor_ok** in wall time ($(ratio "$ours_wall" "${walls[$floor]}")x)," \
    "**$floor_cpu_ok** in CPU time ($(ratio "$ours_cpu" "${cpus[$floor]}")x)"
)
echo
echo "$targets"

# --- Where our time goes ------------------------------------------------
# Start-up alone (a file of one record), and the whole file read twice
# through one open: the first pass touches every page of the file's mapping
# for the first time, the second finds them mapped.
tiny="$work/records-1.dbf"
[ -f "$tiny" ] && [ "$tiny" -nt "$maker" ] || "$maker" "$tiny" 1
declare -a startups firsts seconds_
for ((run = 0; run < runs; ++run)); do
  line=$({ TIMEFORMAT='%R'; time "$reader" "$tiny" >/dev/null 2>&1; } 2>&1)
  startups+=("$line")
  passes=$("$reader" --passes 2 "$file")
  firsts+=("$(echo "$passes" | awk '$1 == "pass" && $2 == 1 { print $4 }')")
  seconds_+=("$(echo "$passes" | awk '$1 == "pass" && $2 == 2 { print $4 }')")
done
startup=$(echo "${startups[*]}" | median)
first_pass=$(echo "${firsts[*]}" | median)
second_pass=$(echo "${seconds_[*]}" | median)
breakdown=$(
  echo "| part of our run | s (median of $runs) |"
  echo "|---|---:|"
  echo "| start-up and a one-record file (\`bench_dbf_read\` on it, whole process) | $startup |"
  echo "| first pass over FILE through one open (\`--passes 2\`) | $first_pass |"
  echo "| second pass over FILE, its pages already mapped | $second_pass |"
  echo "| the first touch of the mapping's pages (first pass - second) | $(awk -v a="$first_pass" -v b="$second_pass" 'BEGIN{printf "%.3f", a - b}') |"
)
echo
echo "$breakdown"

if [ "$records" -ne 1000000 ]; then
  echo
  echo "$records records: docs/benchmarks.md left as it is"
  exit 0
fi
size=$(stat -c %s "$file")
body=$(
  echo "## $section"
  echo
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
  echo "Measured by \`bench/run-dbf-read.sh\` (run by \`make bench\`; ${build_type:-default} build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(lscpu | sed -n 's/^Model name: *//p' | head -1),"
  echo "load average $load when the timing started (the machine is shared: wall"
  echo "times include waiting for a CPU; CPU time, user + system, does not)."
  echo
  echo "FILE is a dBASE III file written by \`bench_make_dbf\`: $records records of"
  echo "125 bytes ($size bytes), ten fields C(20), N(12,2), N(8), D, L, F(15,4),"
  echo "C(30), N(10), D, C(12); one date in 16 is empty. Every reader runs once"
  echo "untimed (the correctness checks below), so the file is in the page cache;"
  echo "then $runs repetitions each run every reader once, in turn, and the table"
  echo "shows each reader's median wall and CPU time. The timed runs took ${elapsed} s."
  echo
  echo "$table"
  echo
  echo "Targets:"
  echo
  echo "$targets"
  echo
  echo "Where our wall time goes, measured in the same run:"
  echo
  echo "$breakdown"
  echo
  echo "What each reader does:"
  echo
  echo "- \`bench_dbf_read\` is linked to the shared library (libkvxbase.so) and calls"
  echo "  only its exports, as a host program does. It opens the file read-only and shared, and for every record"
  echo "  calls \`XBDDRGET\` and then \`XBDDFGET\` for each of the ten fields (text for C"
  echo "  and D, a double for N and F, a byte for L), adding every value into a"
  echo "  checksum. Before the timing the script checks that its sum of the N and F"
  echo "  values equals dbfread's and shapelib's."
  echo "- \`bench_dbf_read_ahead --read-ahead\` is the same loop, linked to the engine's objects,"
  echo "  with each record taken from the engine's"
  echo "  internal read-ahead buffer (runs of 8 records, as the index builds read)"
  echo "  instead of \`XBDDRGET\`: not a public path."
  echo "- dbfread (\`/usr/bin/python3\`, python3-dbfread) builds a dictionary of parsed"
  echo "  values (str, float, int, date, bool) for every record."
  echo "- \`ogrinfo -al -q\` prints every feature with every non-null field (checked:"
  echo "  $records features and one line per non-null value), so it reads and"
  echo "  converts every field; most of its time goes into formatting that text."
  echo "  \`ogr2ogr -f Memory\` reads every feature with all its fields into an"
  echo "  in-memory layer without formatting text, the leaner of the two GDAL paths."
  echo "- \`bench_shp_dbf_read\` (bench/shp_dbf_read.c, Debian's libshp-dev) calls"
  echo "  \`DBFReadDoubleAttribute\` for every N and F field and"
  echo "  \`DBFReadStringAttribute\` for every other one."
  echo "- \`cat\` only copies the bytes: the floor for reading the file at all. It"
  echo "  reads the same FILE, warm, in the same interleaved repetitions as every"
  echo "  reader; both ratios to it are of medians (wall to wall, CPU to CPU)."
)
replace_doc_section "$doc" "$section" "$body"
echo
echo "written: $doc"

#!/usr/bin/env bash
# Sequential read of a 1,000,000-record data file: our engine against
# dbfread, GDAL and the floor (cat), every run warm (the file in the page
# cache, each command run once untimed first), best of 3.
#
#   bench/run-all.sh BUILD_DIR
#
# Writes the data file once into BUILD_DIR/bench-data, prints the table and
# replaces the section "Sequential read of a 1,000,000-record data file" in
# docs/benchmarks.md. KV_BENCH_RECORDS=N runs the same on N records for a
# quick try; such a run leaves docs/benchmarks.md alone. Then runs
# bench/run-ndx.sh (NDX adds and finds, against TDbf), bench/run-lock.sh
# (record lock round trips against a bare fcntl lock), bench/run-idx.sh
# (IDX adds, finds and file sizes against NDX), bench/run-mdx.sh (MDX adds
# and finds against NDX), bench/run-ntx.sh (NTX adds, finds and file size
# against NDX), bench/run-memo.sh (memo writing and reading against
# python3-dbf), bench/run-bulk.sh (bulk index builds against key-by-key
# builds, TDbf and sort) and bench/run-net.sh (socket round trips and
# streams against a C ping-pong and socat), which keep their own sections.
set -euo pipefail
. "$(dirname "$0")/doc_section.sh"

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
reader="$build/bin/bench_dbf_read"
maker="$build/bin/bench_make_dbf"
python=/usr/bin/python3  # Debian's, with python3-dbfread
dbfread_script="$repo/bench/dbfread_read.py"
records=${KV_BENCH_RECORDS:-1000000}
runs=3
doc="$repo/docs/benchmarks.md"
section="Sequential read of a 1,000,000-record data file"

for tool in "$reader" "$maker" "$python" /usr/bin/ogrinfo /usr/bin/ogr2ogr; do
  if [ ! -x "$tool" ]; then
    echo "missing: $tool (build with -DKV_BENCH=ON; run scripts/install-deps.sh)" >&2
    exit 1
  fi
done
"$python" -c 'import dbfread' || { echo "missing: python3-dbfread" >&2; exit 1; }

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
# These runs also warm the page cache and each tool's own files: they are the
# untimed first run of the commands timed below with the same program.
echo "checking that every reader reads all $records records"
cat "$file" >/dev/null
ours=$("$reader" "$file")
[[ "$ours" == "records $records fields $((records * 10)) "* ]] || fail "bench_dbf_read: $ours"
ahead=$("$reader" --read-ahead "$file")
[ "${ahead#*checksum }" = "${ours#*checksum }" ] || fail "read-ahead mode differs: $ahead"
theirs=$("$python" "$dbfread_script" --check "$file")
our_numbers=$(echo "$ours" | sed 's/.*checksum \([^/]*\)\/.*/\1/')
[[ "$theirs" == "records $records fields $((records * 10)) numbers $our_numbers nulls "* ]] ||
  fail "dbfread read '$theirs', we read '$ours'"
nulls=${theirs##* }
# ogrinfo prints every feature and a line for each field that is not null.
read -r features values < <(ogrinfo -al -q "$file" |
  awk '/^OGRFeature\(/ { f++ } /^  [A-Z_0-9]+ \(/ { v++ } END { print f + 0, v + 0 }')
[ "$features" = "$records" ] || fail "ogrinfo printed $features features"
[ "$values" = "$((records * 10 - nulls))" ] || fail "ogrinfo printed $values values"

# --- Timing --------------------------------------------------------------
# best_of WARM LABEL COMMAND...: runs the command once untimed when WARM is
# "warm-up" (the others ran in the checks above), then $runs times, and keeps
# the shortest wall time and the shortest CPU time (user + system).
declare -a labels walls cpus
best_of() {
  local warm=$1 label=$2
  shift 2
  if [ "$warm" = warm-up ]; then "$@" >/dev/null 2>&1; fi
  local best_wall="" best_cpu="" line wall cpu
  for ((i = 0; i < runs; ++i)); do
    line=$({ TIMEFORMAT='%R %U %S'; time "$@" >/dev/null 2>&1; } 2>&1)
    wall=$(echo "$line" | awk '{print $1}')
    cpu=$(echo "$line" | awk '{printf "%.3f", $2 + $3}')
    if [ -z "$best_wall" ] || awk "BEGIN{exit !($wall < $best_wall)}"; then best_wall=$wall; fi
    if [ -z "$best_cpu" ] || awk "BEGIN{exit !($cpu < $best_cpu)}"; then best_cpu=$cpu; fi
  done
  labels+=("$label")
  walls+=("$best_wall")
  cpus+=("$best_cpu")
  printf '%-34s %8s s wall %8s s cpu\n' "$label" "$best_wall" "$best_cpu"
}

memory_copy() { ogr2ogr -f Memory bench "$1"; }
ogrinfo_all() { ogrinfo -al -q "$1" >/dev/null; }
cat_file() { cat "$1" >/dev/null; }

start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "timing (best of $runs, warm), load average $load"
best_of checked "kvxbase (XBDDRGET + XBDDFGET)" "$reader" "$file"
best_of checked "kvxbase, read-ahead buffer" "$reader" --read-ahead "$file"
best_of checked "dbfread" "$python" "$dbfread_script" "$file"
best_of checked "GDAL ogrinfo -al -q" ogrinfo_all "$file"
best_of warm-up "GDAL ogr2ogr -f Memory" memory_copy "$file"
best_of warm-up "cat (floor)" cat_file "$file"
elapsed=$(($(date +%s) - start))

# --- Table ---------------------------------------------------------------
ours_wall=${walls[0]}
ours_cpu=${cpus[0]}
shown_commands=(
  "build/bin/bench_dbf_read FILE"
  "build/bin/bench_dbf_read --read-ahead FILE"
  "/usr/bin/python3 bench/dbfread_read.py FILE"
  "ogrinfo -al -q FILE >/dev/null"
  "ogr2ogr -f Memory bench FILE"
  "cat FILE >/dev/null"
)
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
    elif [ "${labels[$i]}" = "cat (floor)" ]; then
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

verdict() {  # verdict CONDITION: "met" or "missed"
  if awk "BEGIN{exit !($1)}"; then echo "met"; else echo "missed"; fi
}
gdal_ok=$(verdict "${walls[3]} > $ours_wall && ${walls[4]} > $ours_wall")
dbfread_ok=$(verdict "${walls[2]} >= 10 * $ours_wall")
floor_ok=$(verdict "$ours_wall <= 5 * ${walls[5]}")
targets=$(
  echo "- faster than GDAL (both commands): **$gdal_ok** ($(ratio "${walls[3]}" "$ours_wall")x / $(ratio "${walls[4]}" "$ours_wall")x)"
  echo "- at least 10x faster than dbfread: **$dbfread_ok** ($(ratio "${walls[2]}" "$ours_wall")x)"
  echo "- within 5x of the floor (cat): **$floor_ok** ($(ratio "$ours_wall" "${walls[5]}")x)"
)
echo
echo "$targets"

# --- NDX adds and finds ---------------------------------------------------
# bench/run-ndx.sh keeps its own section of docs/benchmarks.md; a quick try
# with KV_BENCH_RECORDS runs it on that many keys and finds.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-ndx.sh" "$build"
else
  KV_NDX_BENCH_SIZES=$records KV_NDX_BENCH_FINDS=$records "$repo/bench/run-ndx.sh" "$build"
fi

# --- Record locks ----------------------------------------------------------
# bench/run-lock.sh keeps its own section; a quick try runs that many round
# trips.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-lock.sh" "$build"
else
  KV_LOCK_BENCH_N=$records "$repo/bench/run-lock.sh" "$build"
fi

# --- IDX adds, finds and file sizes ----------------------------------------
# bench/run-idx.sh keeps its own section; a quick try runs that many keys and
# finds.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-idx.sh" "$build"
else
  KV_IDX_BENCH_N=$records KV_IDX_BENCH_FINDS=$records "$repo/bench/run-idx.sh" "$build"
fi

# --- Data file writing --------------------------------------------------------
# bench/run-dbf-write.sh keeps its own section; a quick try appends that many
# records and updates a tenth of them.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-dbf-write.sh" "$build"
else
  KV_WRITE_BENCH_N=$records KV_WRITE_BENCH_U=$(((records + 9) / 10)) "$repo/bench/run-dbf-write.sh" "$build"
fi

# --- MDX adds and finds against NDX ---------------------------------------
# bench/run-mdx.sh keeps its own section; a quick try runs that many keys and
# finds.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-mdx.sh" "$build"
else
  KV_MDX_BENCH_N=$records KV_MDX_BENCH_FINDS=$records "$repo/bench/run-mdx.sh" "$build"
fi

# --- NTX adds, finds and file size against NDX -----------------------------
# bench/run-ntx.sh keeps its own section; a quick try runs that many keys and
# finds.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-ntx.sh" "$build"
else
  KV_NTX_BENCH_N=$records KV_NTX_BENCH_FINDS=$records "$repo/bench/run-ntx.sh" "$build"
fi

# --- Memo files: writing and reading ------------------------------------------
# bench/run-memo.sh keeps its own section; a quick try writes and reads that
# many memos in each layout.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-memo.sh" "$build"
else
  KV_MEMO_BENCH_N=$records "$repo/bench/run-memo.sh" "$build"
fi

# --- Bulk index builds --------------------------------------------------------
# bench/run-bulk.sh keeps its own section; a quick try builds over that many
# records.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-bulk.sh" "$build"
else
  KV_BULK_BENCH_SIZES=$records "$repo/bench/run-bulk.sh" "$build"
fi

# --- Sockets: round trips and streams ----------------------------------------
# bench/run-net.sh keeps its own section; a quick try runs a tenth of it.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-net.sh" "$build"
else
  KV_NET_BENCH_QUICK=1 "$repo/bench/run-net.sh" "$build"
# --- ODBC fetch ----------------------------------------------------------------
# bench/run-odbc.sh keeps its own section; a quick try fetches that many rows.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-odbc.sh" "$build"
else
  KV_ODBC_BENCH_N=$records "$repo/bench/run-odbc.sh" "$build"
# --- kvcomm: serial lines and mail reading ------------------------------------
# bench/run-comm.sh keeps its own section; a quick try uses 1,000 messages
# and 2 MB.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-comm.sh" "$build"
else
  KV_COMM_BENCH_MESSAGES=1000 KV_COMM_BENCH_MB=2 "$repo/bench/run-comm.sh" "$build"
fi

# --- docs/benchmarks.md --------------------------------------------------
if [ "$records" -ne 1000000 ]; then
  echo
  echo "$records records: docs/benchmarks.md left as it is"
  exit 0
fi
size=$(stat -c %s "$file")
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-all.sh\` (what \`make bench\` runs; Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the timing started (the machine is shared: wall"
  echo "times include waiting for a CPU; CPU time, user + system, does not)."
  echo
  echo "FILE is a dBASE III file written by \`bench_make_dbf\`: $records records of"
  echo "125 bytes ($size bytes), ten fields C(20), N(12,2), N(8), D, L, F(15,4),"
  echo "C(30), N(10), D, C(12); one date in 16 is empty. Every command is run once"
  echo "untimed, so the file is in the page cache (for the first four that run is"
  echo "the correctness check described below), then $runs times; the table keeps"
  echo "the shortest wall time and the shortest CPU time. The timed runs took ${elapsed} s."
  echo
  echo "$table"
  echo
  echo "Targets (wall time):"
  echo
  echo "$targets"
  echo
  echo "What each reader does:"
  echo
  echo "- \`bench_dbf_read\` opens the file read-only and shared, and for every record"
  echo "  calls \`XBDDRGET\` and then \`XBDDFGET\` for each of the ten fields (text for C"
  echo "  and D, a double for N and F, a byte for L), adding every value into a"
  echo "  checksum. Before the timing the script checks that its sum of the N and F"
  echo "  values equals dbfread's."
  echo "- \`--read-ahead\` is the same loop with each record taken from the engine's"
  echo "  internal read-ahead buffer (runs of 8 records) instead of \`XBDDRGET\`: not"
  echo "  a public path, shown to tell what the per-record file reads cost."
  echo "- dbfread (\`/usr/bin/python3\`, python3-dbfread) builds a dictionary of parsed"
  echo "  values (str, float, int, date, bool) for every record."
  echo "- \`ogrinfo -al -q\` prints every feature with every non-null field (checked:"
  echo "  $records features and one line per non-null value, as many as dbfread"
  echo "  finds), so it reads and converts every field; most of its time goes into"
  echo "  formatting that text."
  echo "  \`ogr2ogr -f Memory\` reads every feature with all its fields into an"
  echo "  in-memory layer without formatting text, the leaner of the two GDAL paths"
  echo "  and so the harder comparison; both are shown. (\`ogr2ogr -f CSV /dev/null\`"
  echo "  does not run: the CSV driver refuses an existing /dev/null.)"
  echo "- \`cat\` only copies the bytes: the floor for reading the file at all."
)
replace_doc_section "$doc" "$section" "$body"
echo
echo "written: $doc"

# --- Charts -----------------------------------------------------------------
# bench/run-chart.sh keeps its own section.
echo
"$repo/bench/run-chart.sh" "$build"

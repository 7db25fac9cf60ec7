#!/usr/bin/env bash
# Every benchmark, each keeping its own section of docs/benchmarks.md:
#
#   bench/run-all.sh BUILD_DIR
#
# KV_BENCH_RECORDS=N runs each on N records (or keys) for a quick try; such
# a run leaves docs/benchmarks.md alone. Runs bench/run-dbf-read.sh (the
# sequential read of a data file against dbfread, GDAL, shapelib and cat),
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
records=${KV_BENCH_RECORDS:-1000000}

# --- Sequential read --------------------------------------------------------
# bench/run-dbf-read.sh keeps its own section; KV_BENCH_RECORDS passes on.
"$repo/bench/run-dbf-read.sh" "$build"

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

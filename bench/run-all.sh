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
# builds, TDbf and sort), bench/run-net.sh (socket round trips and streams
# against a C ping-pong and socat), bench/run-odbc.sh (ODBC fetches against
# isql, sqlite3 and psql), bench/run-comm.sh (pty lines against socat, Maildir
# reading against python3's mailbox), bench/run-chart.sh (charts against
# gnuplot) and bench/run-image-read.sh (GIF and TIFF decoding against
# tiffcp, Pillow and gif2rgb), which keep their own sections.
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
fi

# --- ODBC fetch ----------------------------------------------------------------
# bench/run-odbc.sh keeps its own section; a quick try fetches that many rows.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-odbc.sh" "$build"
else
  KV_ODBC_BENCH_N=$records "$repo/bench/run-odbc.sh" "$build"
fi

# --- kvcomm: serial lines and mail reading ------------------------------------
# bench/run-comm.sh keeps its own section; a quick try uses 1,000 messages
# and 2 MB.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-comm.sh" "$build"
else
  KV_COMM_BENCH_MESSAGES=1000 KV_COMM_BENCH_MB=2 "$repo/bench/run-comm.sh" "$build"
fi

# --- Charts -----------------------------------------------------------------
# bench/run-chart.sh keeps its own section.
echo
"$repo/bench/run-chart.sh" "$build"

# --- Chart window paints ------------------------------------------------------
# bench/run-chart-paint.sh keeps its own section.
echo
"$repo/bench/run-chart-paint.sh" "$build"
# --- Images -----------------------------------------------------------------
# bench/run-image.sh keeps its own section.
echo
"$repo/bench/run-image.sh" "$build"
# --- Image reading ------------------------------------------------------------
# bench/run-image-read.sh keeps its own section.
echo
"$repo/bench/run-image-read.sh" "$build"
# --- Remote calls and file transfers ------------------------------------------
# bench/run-rpc.sh keeps its own section; a quick try runs a tenth of it.
echo
if [ "$records" -eq 1000000 ]; then
  "$repo/bench/run-rpc.sh" "$build"
else
  KV_RPC_BENCH_QUICK=1 "$repo/bench/run-rpc.sh" "$build"
fi

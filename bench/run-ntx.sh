#!/usr/bin/env bash
# NTX adds, finds and file size against NDX, in one run of bench_ntx:
# 1,000,000 ten-byte character keys added in random order into a new NDX and
# a new NTX, then 1,000,000 finds of keys picked at random, each checked.
#
#   bench/run-ntx.sh BUILD_DIR
#
# Prints the table and replaces the section "NTX index: adds, finds and file
# size" in docs/benchmarks.md. KV_NTX_BENCH_N=N and KV_NTX_BENCH_FINDS=M run
# other sizes for a quick try; such a run leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_ntx)
n=${KV_NTX_BENCH_N:-1000000}
finds=${KV_NTX_BENCH_FINDS:-1000000}
section="NTX index: adds, finds and file size"

build_type=$(bench_build_type)
work="$build/bench-ntx"
mkdir -p "$work"
start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.txt"
"$ours" "$work" "$n" "$finds" >"$results"
rm -f "$work"/*.ndx "$work"/*.ntx
elapsed=$(($(date +%s) - start))

# One row per kind and operation, with the ratio to NDX's time and size.
table=$(
  echo "| index | operation | keys | ops | seconds | µs/op | time / NDX time | file bytes | size / NDX size |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
  awk '
    $1 == "RESULT" { k = $2; op = $3; key = k " " op; order[++n] = key; line[key] = $0
      if (k == "ndx") { t[op] = $6; size = $7 } }
    END {
      for (i = 1; i <= n; ++i) {
        split(line[order[i]], a, " ")
        printf "| %s | %s | %d | %d | %.3f | %.2f | %.2f | %d | %.2f |\n", a[2], a[3], a[4], a[5],
          a[6], a[6] * 1e6 / a[5], (t[a[3]] > 0 ? a[6] / t[a[3]] : 0), a[7],
          (size > 0 ? a[7] / size : 0)
      }
    }' "$results"
)
echo "$table"
echo
echo "whole run: ${elapsed} s"

if [ "$n" != 1000000 ] || [ "$finds" != 1000000 ]; then
  echo "n $n, finds $finds: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-ntx.sh\` (called by \`bench/run-all.sh\`; ${build_type:-default} build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the run started; one run of \`bench_ntx\` (no best-of),"
  echo "which took ${elapsed} s. Wall times; the ratios compare figures of that one run."
  echo
  echo "$table"
  echo
  echo "What is measured: \`bench_ntx\` creates each index with a 10-byte character"
  echo "key (\`XBDNCREATE\`, \`XBDCCREATE\`), adds 1,000,000 keys (ten digits of 7 × i,"
  echo "i = 1 .. 1,000,000 in one shuffled order, record number i) with \`XBDNKADD\` or"
  echo "\`XBDCKADD\`, then runs 1,000,000 finds by key (\`XBDNKFIND\`, \`XBDCKFIND\`) of"
  echo "keys picked at random, each checked to return its record number. Both get the"
  echo "same keys in the same order and the same finds. File bytes are the size after"
  echo "the adds. Every key operation of both families rereads the header (NTX: also"
  echo "the file's length, since the header holds no page count) and reads its pages"
  echo "afresh, as another process may share the file. An NTX page holds 50 keys of"
  echo "this size against NDX's 25, and every key is stored once (interior pages"
  echo "carry keys with their record numbers), so the tree is shallower; a page is"
  echo "scanned item by item through its offset table, where NDX halves its pages."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

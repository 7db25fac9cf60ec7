#!/usr/bin/env bash
# IDX adds, finds and file sizes against NDX, in one run of bench_idx:
# 1,000,000 ten-byte character keys added in random order into a new NDX, a
# new standard IDX and a new compact IDX, then 1,000,000 finds of keys picked
# at random, each checked.
#
#   bench/run-idx.sh BUILD_DIR
#
# Prints the table and replaces the section "IDX index: adds, finds and file
# sizes" in docs/benchmarks.md. KV_IDX_BENCH_N=N and KV_IDX_BENCH_FINDS=M run
# other sizes for a quick try; such a run leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_idx)
n=${KV_IDX_BENCH_N:-1000000}
finds=${KV_IDX_BENCH_FINDS:-1000000}
section="IDX index: adds, finds and file sizes"

build_type=$(bench_build_type)
work="$build/bench-idx"
mkdir -p "$work"
start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.txt"
"$ours" "$work" "$n" "$finds" >"$results"
rm -f "$work"/*.ndx "$work"/*.idx
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

compact=$(awk '$1 == "RESULT" && $2 == "idx-compact" && $3 == "add" { print $7 }' "$results")
standard=$(awk '$1 == "RESULT" && $2 == "idx-standard" && $3 == "add" { print $7 }' "$results")
smaller=$(awk -v c="$compact" -v s="$standard" 'BEGIN { printf "%.2f", s / c }')
echo "standard IDX / compact IDX size: $smaller"

if [ "$n" != 1000000 ] || [ "$finds" != 1000000 ]; then
  echo "n $n, finds $finds: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-idx.sh\` (called by \`bench/run-all.sh\`; ${build_type:-default} build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the run started; one run of \`bench_idx\` (no best-of),"
  echo "which took ${elapsed} s. Wall times; the ratios compare figures of that one run."
  echo
  echo "$table"
  echo
  echo "The standard IDX file is ${smaller} times the size of the compact one."
  echo
  echo "What is measured: \`bench_idx\` creates each index with a 10-byte character"
  echo "key (\`XBDNCREATE\`, \`XBDICREATE\` with and without the compact bit), adds"
  echo "1,000,000 keys (ten digits of 7 × i, i = 1 .. 1,000,000 in one shuffled"
  echo "order, record number i) with \`XBDNKADD\` or \`XBDIKADD\`, then runs 1,000,000"
  echo "finds by key (\`XBDNKFIND\`, \`XBDIKFIND\`) of keys picked at random, each"
  echo "checked to return its record number. All three kinds get the same keys in the"
  echo "same order and the same finds. File bytes are the size after the adds."
  echo "Every key operation of both families rereads the header and reads its pages"
  echo "afresh (another process may share the file); a compact IDX leaf is decoded"
  echo "whole on each visit, since its keys are stored against their predecessors."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

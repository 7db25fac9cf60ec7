#!/usr/bin/env bash
# MDX adds and finds against NDX of the same keys (bench_mdx), and the same
# work done by Free Pascal's TDbf on an MDX tag (bench/tdbf_mdx_bench.pas,
# compiled here with fpc), in one run.
#
#   bench/run-mdx.sh BUILD_DIR
#
# 1,000,000 keys added in random order to a new MDX tag with blocks of 1, 2
# and 8 units and to a new NDX file, then 1,000,000 finds of keys in it, for
# a 10-byte character key and a numeric key; TDbf appends the same keys as
# records of a dBASE IV table whose production MDX keeps a tag on them, and
# the same records to a table without an index, then does the finds. Prints
# the tables and replaces the section "MDX index: adds and finds" in
# docs/benchmarks.md.
# KV_MDX_BENCH_N=N and KV_MDX_BENCH_FINDS=M run other sizes for a quick try;
# such a run leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_mdx)
n=${KV_MDX_BENCH_N:-1000000}
finds=${KV_MDX_BENCH_FINDS:-1000000}
section="MDX index: adds and finds"

work="$build/bench-mdx"
mkdir -p "$work"
theirs=$(bench_tdbf tdbf_mdx_bench "$work")

start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.txt"
"$ours" "$work" "$n" "$finds" | tee "$results" >&2
rm -f "$work"/*.ndx "$work"/*.mdx
for kind in C N; do
  echo "kind=$kind: TDbf" >&2
  "$theirs" "$work" "$n" "$finds" "$kind" | tee -a "$results" >&2
  rm -f "$work"/*.dbf "$work"/*.mdx
done
elapsed=$(($(date +%s) - start))
# The block size TDbf chose for its MDX files (it has no setting for it).
tdbf_units=$(awk '$1 == "BLOCK" { print $2; exit }' "$results")

# One row per (key, operation, format), with the ratio to NDX of the same row.
table=$(
  echo "| key | operation | file | ops | s | µs/op | reads/op | writes/op | file bytes | time / NDX time | reads / NDX reads |"
  echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  awk '
    $1 == "RESULT" && $2 != "tdbf" {
      k = $3 " " $4; row[++n] = $0
      if ($2 == "ndx") { t[k] = $7; r[k] = $8 }
    }
    END {
      for (i = 1; i <= n; ++i) {
        split(row[i], a, " "); k = a[3] " " a[4]; ops = a[6]
        printf "| %s | %s | %s | %d | %.3f | %.2f | %.2f | %.2f | %d | %.2f | %.2f |\n",
          a[3], a[4], a[2], ops, a[7], a[7] * 1e6 / ops, a[8] / ops, a[9] / ops, a[10],
          (t[k] > 0 ? a[7] / t[k] : 0), (r[k] > 0 ? a[8] / r[k] : 0)
      }
    }' "$results"
)
# TDbf's rows beside ours with TDbf's block size (and NDX): the tag's adds
# with and without the record appends that carry the keys to it.
tdbf_table=$(
  echo "| key | operation | ops | TDbf s | µs/op | read calls/op | write calls/op | TDbf MDX bytes | ours mdx$tdbf_units s | TDbf time / ours mdx$tdbf_units | ours NDX s | TDbf time / ours NDX |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  awk -v units="$tdbf_units" '
    $1 == "RESULT" && $2 != "tdbf" { s[$2 " " $3 " " $4] = $7 }
    $1 == "RESULT" && $2 == "tdbf" { key[++n] = $3 " " $4; row[$3 " " $4] = $0 }
    function line(kind, label, op, ops, secs, rc, wc, bytes,   m, d) {
      m = s["mdx" units " " kind " " op]; d = s["ndx " kind " " op]
      printf "| %s | %s | %d | %.3f | %.2f | %s | %s | %s | %.3f | %.2f | %.3f | %.2f |\n",
        kind, label, ops, secs, secs * 1e6 / ops, rc, wc, bytes, m,
        (m > 0 ? secs / m : 0), d, (d > 0 ? secs / d : 0)
    }
    END {
      for (i = 1; i <= n; ++i) {
        split(row[key[i]], a, " ")
        kind = a[3]; op = a[4]; ops = a[6]
        if (op == "append-bare") { bare[kind] = a[7]; bareline[kind] = row[key[i]]; continue }
        if (op == "add") {
          line(kind, "records + tag (Append/Post)", "add", ops, a[7],
            sprintf("%.2f", a[8] / ops), sprintf("%.2f", a[9] / ops), a[10])
          split(bareline[kind], b, " ")
          printf "| %s | records alone (no index) | %d | %.3f | %.2f | %.2f | %.2f | - | - | - | - | - |\n",
            kind, ops, b[7], b[7] * 1e6 / ops, b[8] / ops, b[9] / ops
          line(kind, "tag only (difference)", "add", ops, a[7] - bare[kind],
            sprintf("%.2f", (a[8] - b[8]) / ops), sprintf("%.2f", (a[9] - b[9]) / ops), a[10])
        } else {
          line(kind, "find (SearchKey)", "find", ops, a[7],
            sprintf("%.2f", a[8] / ops), sprintf("%.2f", a[9] / ops), a[10])
        }
      }
    }' "$results"
)
echo
echo "$table"
echo
echo "TDbf (MDX block size $tdbf_units units):"
echo "$tdbf_table"
echo
echo "whole run: ${elapsed} s"

if [ "$n" != 1000000 ] || [ "$finds" != 1000000 ]; then
  echo "n $n, finds $finds: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-mdx.sh\` (called by \`bench/run-all.sh\`) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the run started (the machine is shared); one run,"
  echo "no best-of; the whole run took ${elapsed} s. Wall times."
  echo
  echo "$table"
  echo
  echo "What is measured (\`bench_mdx\`):"
  echo
  echo "- The same 1,000,000 keys in the same random order go into a new NDX file"
  echo "  (\`XBDNKADD\`) and into a new tag of a new MDX file (\`XBDMKADD\`) with"
  echo "  blocks of 1, 2 and 8 units (512, 1024 and 4096 bytes); then 1,000,000"
  echo "  finds by key of keys picked at random, each checked to return its record"
  echo "  number. Character keys are ten digits of 7 × i; numeric keys 7.25 × i −"
  echo "  1,000,000 (an 8-byte double in NDX, the 12-byte decimal form in MDX)."
  echo "- Reads and writes are the file layer's calls (the platform's counters): a"
  echo "  read is one node (or the header words every key operation rereads), a"
  echo "  write one node or one header word. Both families reread their header at"
  echo "  the start of each call and keep no node from one call to the next."
  echo "- \"time / NDX time\" below 1 means the MDX tag was faster than NDX on the"
  echo "  same keys. Larger blocks mean fewer levels (fewer reads per find) but"
  echo "  more bytes moved per node write."
  echo
  echo "The same work done by Free Pascal's TDbf (fp-units-db) on an MDX tag, in"
  echo "the same run:"
  echo
  echo "$tdbf_table"
  echo
  echo "What TDbf does (\`bench/tdbf_mdx_bench.pas\`):"
  echo
  echo "- TDbf has no call that adds a bare key to an MDX tag: a tag grows as"
  echo "  records are posted. So the keys reach it as records: a new dBASE IV"
  echo "  table (\`TableLevel\` 4) whose only field is the key (C(10), or N(12,2)"
  echo "  for the numeric keys) gets one tag on that field in its production MDX"
  echo "  (\`AddIndex('KEY', 'KEY', [])\`), then each of the 1,000,000 keys, in a"
  echo "  random order of the same keys, is \`Append\` + field + \`Post\` (TDbf"
  echo "  keeps the tag current at each \`Post\`). The numeric tag is a real"
  echo "  numeric (N) tag of 12-byte decimal keys, as ours."
  echo "- \"records + tag\" is that time, including the record appends. \"records"
  echo "  alone\" is the same appends to a second table without any index, in the"
  echo "  same program; \"tag only\" is the difference, the fair figure to set"
  echo "  beside our \`XBDMKADD\`. The finds are \`SearchKey(key, stEqual)\` on the"
  echo "  tag, each checked against the record number, as ours."
  echo "- TDbf has no setting for the MDX block size: it made its file with"
  echo "  blocks of $tdbf_units units ($((tdbf_units * 512)) bytes), so it is set beside our mdx$tdbf_units"
  echo "  row (and our NDX). Blocks of the other sizes cannot be measured with it."
  echo "- TDbf's read and write calls are the process's system calls (\`syscr\`/"
  echo "  \`syscw\` of /proc/self/io), not the same count as our file layer's"
  echo "  calls above, so no read ratio is given. The tables are open"
  echo "  exclusively, so TDbf may keep blocks in memory between calls, where our"
  echo "  engine rereads the header and every node in each call (the file may be"
  echo "  shared with other processes). \"TDbf time / ours\" above 1 means our"
  echo "  engine was faster."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

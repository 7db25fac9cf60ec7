#!/usr/bin/env bash
# MDX adds and finds against NDX of the same keys, in one run (bench_mdx).
#
#   bench/run-mdx.sh BUILD_DIR
#
# 1,000,000 keys added in random order to a new MDX tag with blocks of 1, 2
# and 8 units and to a new NDX file, then 1,000,000 finds of keys in it, for
# a 10-byte character key and a numeric key. Prints the table and replaces
# the section "MDX index: adds and finds" in docs/benchmarks.md.
# KV_MDX_BENCH_N=N and KV_MDX_BENCH_FINDS=M run other sizes for a quick try;
# such a run leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/doc_section.sh"

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
ours="$build/bin/bench_mdx"
n=${KV_MDX_BENCH_N:-1000000}
finds=${KV_MDX_BENCH_FINDS:-1000000}
doc="$repo/docs/benchmarks.md"
section="MDX index: adds and finds"

[ -x "$ours" ] || { echo "missing: $ours (build with -DKV_BENCH=ON)" >&2; exit 1; }

work="$build/bench-mdx"
mkdir -p "$work"
start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.txt"
"$ours" "$work" "$n" "$finds" | tee "$results" >&2
rm -f "$work"/*.ndx "$work"/*.mdx
elapsed=$(($(date +%s) - start))

# One row per (key, operation, format), with the ratio to NDX of the same row.
table=$(
  echo "| key | operation | file | ops | s | µs/op | reads/op | writes/op | file bytes | time / NDX time | reads / NDX reads |"
  echo "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  awk '
    $1 == "RESULT" {
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
echo
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
  echo "- TDbf's MDX is not in this table yet."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

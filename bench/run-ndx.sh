#!/usr/bin/env bash
# NDX adds and finds: our engine (bench_ndx) against Free Pascal's TDbf
# (bench/tdbf_ndx_bench.pas, compiled here with fpc), one run of each.
#
#   bench/run-ndx.sh BUILD_DIR
#
# For 100,000 and 1,000,000 keys, a 10-byte character key and a numeric key:
# the adds in random order, 1,000,000 finds on that index, the adds in
# sorted order. Prints the table and replaces the section "NDX index: adds
# and finds" in docs/benchmarks.md. KV_NDX_BENCH_SIZES="N ..." and
# KV_NDX_BENCH_FINDS=M run other sizes for a quick try; such a run leaves
# docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_ndx)
sizes=${KV_NDX_BENCH_SIZES:-100000 1000000}
finds=${KV_NDX_BENCH_FINDS:-1000000}
section="NDX index: adds and finds"

work="$build/bench-ndx"
mkdir -p "$work"
theirs=$(bench_tdbf tdbf_ndx_bench "$work")

start=$(date +%s)
load=$(cut -d' ' -f1-3 /proc/loadavg)
results="$work/results.txt"
: >"$results"
for n in $sizes; do
  for kind in C N; do
    echo "n=$n kind=$kind: kvxbase" >&2
    "$ours" "$work" "$n" "$finds" "$kind" | sed 's/^RESULT /ours /' >>"$results"
    echo "n=$n kind=$kind: TDbf" >&2
    "$theirs" "$work" "$n" "$finds" "$kind" | sed 's/^RESULT /tdbf /' >>"$results"
    rm -f "$work"/*.dbf "$work"/*.ndx
  done
done
elapsed=$(($(date +%s) - start))

# One row per (kind, operation, n): our figures, TDbf's, and the ratios.
table=$(
  echo "| key | operation | keys in index | ops | kvxbase s | µs/op | page reads/op | page writes/op | read calls/op | write calls/op | NDX bytes | TDbf s | µs/op | read calls/op | write calls/op | NDX bytes | TDbf time / ours | TDbf read calls / ours |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  awk '
    $1 == "ours" { k = $2 " " $3 " " $4; order[++n] = k; o[k] = $0 }
    $1 == "tdbf" { t[$2 " " $3 " " $4] = $0 }
    END {
      for (i = 1; i <= n; ++i) {
        k = order[i]; split(o[k], a, " "); split(t[k], b, " ")
        ops = a[5]
        printf "| %s | %s | %d | %d | %.3f | %.2f | %.2f | %.2f | %.2f | %.2f | %d |",
          a[2], a[3], a[4], ops, a[6], a[6] * 1e6 / ops, a[7] / ops, a[8] / ops,
          a[9] / ops, a[10] / ops, a[11]
        if (k in t) {
          printf " %.3f | %.2f | %.2f | %.2f | %d | %.2f | %.2f |\n", b[6], b[6] * 1e6 / ops,
            b[9] / ops, b[10] / ops, b[11], (a[6] > 0 ? b[6] / a[6] : 0),
            (a[9] > 0 ? b[9] / a[9] : 0)
        } else {
          printf " - | - | - | - | - | - | - |\n"
        }
      }
    }' "$results"
)
echo
echo "$table"
echo
echo "whole run: ${elapsed} s"

if [ "$sizes" != "100000 1000000" ] || [ "$finds" != 1000000 ]; then
  echo "sizes '$sizes', finds $finds: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-ndx.sh\` (called by \`bench/run-all.sh\`; Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the run started; one run of each program (no best-of),"
  echo "the whole run took ${elapsed} s. Wall times."
  echo
  echo "$table"
  echo
  echo "What is measured:"
  echo
  echo "- kvxbase (\`bench_ndx\`): \`XBDNCREATE\` then N \`XBDNKADD\` into a new index"
  echo "  (character keys: ten digits of 7 × i; numeric keys: 7.25 × i − 1,000,000;"
  echo "  i = 1 .. N, shuffled or ascending, record number i), then 1,000,000"
  echo "  \`XBDNKFIND\` (by key) of keys picked at random from the index built in"
  echo "  random order, each checked to return its record number. Page reads and"
  echo "  writes are the file layer's read and write calls counted by the platform's"
  echo "  counters (\`kvp::fault::Calls\`): a read is one 512-byte page or the"
  echo "  8-byte header reread that starts every key operation, a write is one page"
  echo "  or the header. Read and write calls are the process's system calls"
  echo "  (\`syscr\`/\`syscw\` of /proc/self/io), the one count both programs share."
  echo "- TDbf (\`bench/tdbf_ndx_bench.pas\`, fp-units-db): TDbf has no call that adds"
  echo "  a bare key, so each add is \`Append\` + field + \`Post\` of a record of a new"
  echo "  dBASE III table whose only field is the key and whose NDX index TDbf keeps"
  echo "  current: its time and system calls include writing the record (an 11- or"
  echo "  13-byte record, so most of the cost is the index). The finds are"
  echo "  \`SearchKey(key, stEqual)\`, checked against the record number. The table is"
  echo "  open exclusively, so TDbf may keep index pages in memory between calls,"
  echo "  where our engine rereads the header and every page in each call (the"
  echo "  file may be shared with other processes)."
  echo "- \"TDbf time / ours\" above 1 means our engine is faster."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

#!/usr/bin/env bash
# The four index benchmarks (bench_ndx, bench_idx, bench_mdx, bench_ntx) of
# two builds, run in turn in one session: A, B, A, B, ... so that both see
# the same machine load. Prints one row per benchmark row with the median
# seconds of each build, B / A, and the run-to-run spread of A (the largest
# over the smallest of its repetitions), which says how much of B / A is
# noise.
#
#   bench/run-index-compare.sh BUILD_A BUILD_B [REPS]
#
# KV_COMPARE_N keys (default 100000) and KV_COMPARE_FINDS finds (default
# 200000). The table goes to standard output only.
set -euo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 BUILD_A BUILD_B [REPS]" >&2
  exit 2
fi
a=$(cd "$1" && pwd)
b=$(cd "$2" && pwd)
reps=${3:-3}
n=${KV_COMPARE_N:-100000}
finds=${KV_COMPARE_FINDS:-200000}
. "$(dirname "$0")/bench_setup.sh"
for build in "$a" "$b"; do
  for p in bench_ndx bench_idx bench_mdx bench_ntx; do bench_program "$p" >/dev/null; done
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results="$work/results.txt"
: >"$results"

run() {  # run LABEL BUILD: one repetition of every benchmark
  local label=$1 build=$2 dir="$work/$1"
  mkdir -p "$dir"
  for kind in C N; do
    "$build/bin/bench_ndx" "$dir" "$n" "$finds" "$kind" | sed -n "s/^RESULT /$label ndx /p" >>"$results"
    rm -f "$dir"/*
  done
  for p in idx mdx ntx; do
    "$build/bin/bench_$p" "$dir" "$n" "$finds" | sed -n "s/^RESULT /$label $p /p" >>"$results"
    rm -f "$dir"/*
  done
}

for ((i = 1; i <= reps; ++i)); do
  echo "repetition $i of $reps" >&2
  run A "$a"
  run B "$b"
done

echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$n keys, $finds finds, $reps repetitions of each build, interleaved"
echo
echo "| benchmark | row | A median s | B median s | B / A | A spread (max / min) |"
echo "|---|---|---:|---:|---:|---:|"
awk '
  { key = $2 " | " $3 " " $4 " " $5; order[key] = order[key] ? order[key] : ++n; names[n] = key
    # bench_mdx names its format first: its seconds stand one column later.
    v[$1, key, ++count[$1, key]] = ($2 == "mdx" ? $8 : $7) }
  function median(label, key,   m, i, j, t, a) {
    m = count[label, key]
    for (i = 1; i <= m; ++i) a[i] = v[label, key, i]
    for (i = 1; i <= m; ++i) for (j = i + 1; j <= m; ++j) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return a[int((m + 1) / 2)]
  }
  function spread(label, key,   m, i, lo, hi) {
    m = count[label, key]; lo = hi = v[label, key, 1]
    for (i = 2; i <= m; ++i) { if (v[label, key, i] < lo) lo = v[label, key, i]; if (v[label, key, i] > hi) hi = v[label, key, i] }
    return lo > 0 ? hi / lo : 0
  }
  END {
    for (i = 1; i <= n; ++i) {
      k = names[i]; ma = median("A", k); mb = median("B", k)
      printf "| %s | %.3f | %.3f | %.2f | %.2f |\n", k, ma, mb, (ma > 0 ? mb / ma : 0), spread("A", k)
    }
  }' "$results"

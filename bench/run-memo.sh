#!/usr/bin/env bash
# Memo files: writing and then reading 100,000 memos of 200 to 5,000 bytes
# (the same pseudo-random lengths and texts everywhere) by our engine in each
# layout (plain .DBT, block-size .DBT, .FPT; bench_memo) and by python3-dbf
# (its dBASE III .dbt and FoxPro .fpt tables; bench/memo_bench.py), all in one
# run; the check sums of every reading must agree.
#
#   bench/run-memo.sh BUILD_DIR
#
# KV_MEMO_BENCH_N changes the count for a quick try; such a run leaves
# docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench="$build/bin/bench_memo"
tools="$repo/bench/memo_bench.py"
python=/usr/bin/python3
n=${KV_MEMO_BENCH_N:-100000}
seed=20261208
section="Memo files: writing and reading"

for tool in "$bench" "$python"; do
  [ -x "$tool" ] || { echo "missing: $tool (build with -DKV_BENCH=ON; run scripts/install-deps.sh)" >&2; exit 1; }
done
"$python" -c 'import dbf' || { echo "missing: python3-dbf" >&2; exit 1; }

work="$build/bench-data/memo"
rm -rf "$work"
mkdir -p "$work"
load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "memo files: $n memos of 200 to 5,000 bytes; load average $load"

field() { echo "$1" | awk -v k="$2" '{ for (i = 1; i < NF; ++i) if ($i == k) print $(i + 1) }'; }
declare -A results
for layout in plain block fpt; do
  results[$layout]=$("$bench" "$layout" "$work" "$n" "$seed")
  echo "kvxbase $layout: ${results[$layout]}"
done
for kind in db3 fp; do
  results[$kind]=$("$python" "$tools" "$kind" "$work/python-$kind" "$n" "$seed")
  echo "python3-dbf $kind: ${results[$kind]}"
done
want=$(field "${results[plain]}" check)
for key in block fpt db3 fp; do
  got=$(field "${results[$key]}" check)
  [ "$got" = "$want" ] || { echo "check failed: $key read '$got', plain '$want'" >&2; exit 1; }
done
echo "checked: every reading sums to $want"
sizes=()
for f in ours-plain.dbt ours-block.dbt ours-fpt.fpt python-db3.dbt python-fp.fpt; do
  sizes+=("$(stat -c %s "$work/$f")")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.1f", a / b; else print "-" }'; }
row() {  # row LABEL KEY SIZE PYTHON_KEY
  local w r pw pr
  w=$(field "${results[$2]}" write)
  r=$(field "${results[$2]}" read)
  pw=$(field "${results[$4]}" write)
  pr=$(field "${results[$4]}" read)
  echo "| $1 | $w | $r | $3 | $(ratio "$pw" "$w")x | $(ratio "$pr" "$r")x |"
}
pyrow() {  # pyrow LABEL KEY SIZE
  echo "| $1 | $(field "${results[$2]}" write) | $(field "${results[$2]}" read) | $3 | - | - |"
}
table=$(
  echo "| writer and layout | write $n (s) | read $n (s) | memo file bytes | writing: ours faster by | reading: ours faster by |"
  echo "|---|---:|---:|---:|---:|---:|"
  row "kvxbase, plain .DBT (512-byte blocks)" plain "${sizes[0]}" db3
  row "kvxbase, block-size .DBT (512-byte blocks)" block "${sizes[1]}" db3
  row "kvxbase, .FPT (64-byte blocks)" fpt "${sizes[2]}" fp
  pyrow "python3-dbf, dBASE III .dbt" db3 "${sizes[3]}"
  pyrow "python3-dbf, FoxPro .fpt" fp "${sizes[4]}"
)
echo
echo "$table"

if [ "$n" -ne 100000 ]; then
  echo "quick run: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-memo.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) CPUs,"
  echo "$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'), load average $load (the"
  echo "machine is shared: wall times include waiting for a CPU). One run each, wall time,"
  echo "of the build given to the script ($(basename "$build"))."
  echo
  echo "Each writer creates a data file with one memo field and its memo file, appends"
  echo "$n records each with a new memo of 200 to 5,000 bytes (the same pseudo-random"
  echo "lengths and texts for every writer), closes both files, then opens them again and"
  echo "reads every record's memo. The script checks that every reading gives the same"
  echo "sum of lengths and middle bytes. The ratios compare each of our layouts with"
  echo "python3-dbf's table of the same family (dBASE III .dbt for both .DBT layouts,"
  echo "FoxPro .fpt for .FPT)."
  echo
  echo "$table"
  echo
  echo "- kvxbase: \`XBDTRPUT\`/\`XBDWRPUT\` (new memo, no wrapping), \`XBDDFPUT\` and"
  echo "  \`XBDDRPUT\` (append) per record; reading is \`XBDDRGET\`, \`XBDDFGET\` and"
  echo "  \`XBDTRGET\`/\`XBDWRGET\` with \`XBMFREE\` per record."
  echo "- python3-dbf: \`Table.append\` per record; reading \`record.note\` while"
  echo "  iterating the table."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

#!/usr/bin/env bash
# kvhost chart render: a chart to each surface, checked with file(1)-free
# means (PNG and PDF signatures, pdfinfo, wmf2svg), then refusals.
# Usage: render_tool_test.sh KVHOST DATADIR OUTDIR
set -euo pipefail
kvhost="$1"
data="$2"
out="$3"
for tool in pdfinfo wmf2svg; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$kvhost" chart render "$data/sales.csv" "$out/a.png" --type pie --title "Parts" --legend left \
  --labels values,percent,names --size 400x300 | grep -q "a.png: pie chart, 3 series, 4 categories" ||
  fail "png summary"
[ "$(head -c 8 "$out/a.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "png signature"
"$kvhost" chart render "$data/mixed.csv" "$out/a.wmf" --type column3d >/dev/null || fail "wmf"
[ "$(head -c 4 "$out/a.wmf" | od -An -tx1 | tr -d ' \n')" = "d7cdc69a" ] || fail "placeable key"
wmf2svg -o "$out/a.svg" "$out/a.wmf" || fail "wmf2svg"
"$kvhost" chart render "$data/xy.csv" "$out/a.pdf" --type scatter --title XY >/dev/null || fail "pdf"
pdfinfo "$out/a.pdf" | grep -q "Pages: *1" || fail "pdf pages"

refuse() {
  local expected="$1"
  shift
  set +e
  "$kvhost" chart render "$@" >"$out/refused.out" 2>&1
  local status=$?
  set -e
  [ "$status" = "$expected" ] || { cat "$out/refused.out" >&2; fail "exit $status for: $*"; }
}
refuse 2 "$data/sales.csv" "$out/b.png" --type donut
refuse 2 "$data/sales.csv" "$out/b.png" --size 10x10
refuse 2 "$data/sales.csv" "$out/b.png" --labels everything
refuse 2 "$data/sales.csv" "$out/b.png" --legend
refuse 1 "$data/sales.csv" "$out/b.gif"
refuse 1 "$data/no-such.csv" "$out/b.png"
printf 'A,B\nx,12abc\n' >"$out/bad.csv"
refuse 1 "$out/bad.csv" "$out/b.png"
grep -q "not a number: 12abc" "$out/refused.out" || fail "bad number message"
printf 'A,B\nx,0\ny,0\n' >"$out/zero.csv"
refuse 1 "$out/zero.csv" "$out/b.wmf" --type pie
grep -q "Incorrect data" "$out/refused.out" || fail "all zero message"
[ ! -e "$out/b.wmf" ] || fail "a file for nothing drawable"
refuse 1 "$data/sales.csv" "$out/missing/dir/b.wmf"
echo "render tool: all cases passed"

#!/usr/bin/env bash
# Writes the memo files of the independent tools into OUTDIR: python3-dbf's
# dBASE III (.dbt) and FoxPro (.fpt) tables (scripts/oracles/memo_oracle.py)
# and Free Pascal TDbf's level 3, 4 and 25 tables (tests/oracles/
# tdbf_memo.pas, compiled here with fpc). Leaves the TDbf program at
# OUTDIR/tdbf-build/tdbf_memo and a copy of memo_oracle.py in OUTDIR, which
# the tests run to read the memo files our engine writes. A missing tool stops it with a message and a
# non-zero exit; it installs nothing (scripts/install-deps.sh does).
#
# usage: make_memo_oracles.sh OUTDIR
set -euo pipefail

out=${1:?usage: make_memo_oracles.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

missing() {
  echo "make_memo_oracles.sh: $1 is missing; run scripts/install-deps.sh" >&2
  exit 1
}
command -v fpc >/dev/null || missing "fpc (fp-compiler)"
for pkg in fp-compiler fp-units-db python3-dbf python3-dbfread; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
    missing "Debian package $pkg"
done

mkdir -p "$out"
rm -f "$out"/*.dbf "$out"/*.dbt "$out"/*.fpt "$out"/memo_oracle.py "$out"/COMPLETE
build="$out/tdbf-build"
mkdir -p "$build"
if ! fpc -v0 -FU"$build" -o"$build/tdbf_memo" "$root/tests/oracles/tdbf_memo.pas" \
  >"$build/fpc.log" 2>&1; then
  cat "$build/fpc.log" >&2
  echo "make_memo_oracles.sh: fpc could not build tdbf_memo (is fp-units-db installed?)" >&2
  exit 1
fi
"$build/tdbf_memo" write "$out"
/usr/bin/python3 "$here/memo_oracle.py" write "$out"
# The readers the tests run on the files our engine writes.
cp "$here/memo_oracle.py" "$out/memo_oracle.py"

# The tests look for this mark: a half-written set never passes for a whole one.
ls "$out"/*.dbf | wc -l >"$out/COMPLETE"
echo "memo files of the independent tools written to $out ($(cat "$out/COMPLETE") tables)"

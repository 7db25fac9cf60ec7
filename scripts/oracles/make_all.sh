#!/usr/bin/env bash
# Writes every oracle DBF file and its expectations into OUTDIR:
#   python3-dbf (make_python_dbf.py), GDAL (make_gdal_dbf.sh), Free Pascal's
#   TDbf (tests/oracles/tdbf_write.pas, compiled here with fpc), then adds
#   python3-dbfread's reading of every file (add_dbfread.py).
# Installs nothing (scripts/install-deps.sh does); a missing tool stops it
# with a message and a non-zero exit.
#
# usage: make_all.sh OUTDIR
set -euo pipefail

out=${1:?usage: make_all.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
py=/usr/bin/python3

missing() {
  echo "make_all.sh: $1 is missing; run scripts/install-deps.sh" >&2
  exit 1
}

[ -x "$py" ] || missing "$py (python3)"
"$py" -c 'import dbf' 2>/dev/null || missing "python module dbf (python3-dbf)"
"$py" -c 'import dbfread' 2>/dev/null || missing "python module dbfread (python3-dbfread)"
command -v ogr2ogr >/dev/null || missing "ogr2ogr (gdal-bin)"
command -v ogrinfo >/dev/null || missing "ogrinfo (gdal-bin)"
command -v fpc >/dev/null || missing "fpc (fp-compiler)"
for pkg in python3-dbf python3-dbfread gdal-bin fp-compiler fp-units-db; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
    missing "Debian package $pkg"
done

mkdir -p "$out"
rm -f "$out"/*.dbf "$out"/*.dbt "$out"/*.fpt "$out"/*.cpg "$out"/*.expect "$out"/COMPLETE

"$py" "$here/make_python_dbf.py" "$out"
"$here/make_gdal_dbf.sh" "$out"

build="$out/tdbf-build"
mkdir -p "$build"
if ! fpc -v0 -FU"$build" -o"$build/tdbf_write" "$root/tests/oracles/tdbf_write.pas" \
  >"$build/fpc.log" 2>&1; then
  cat "$build/fpc.log" >&2
  echo "make_all.sh: fpc could not build tdbf_write (is fp-units-db installed?)" >&2
  exit 1
fi
"$build/tdbf_write" "$out" "fp-units-db $(dpkg-query -W -f='${Version}' fp-units-db)"

"$py" "$here/add_dbfread.py" "$out"

# The tests look for this mark: a half-written set never passes for a whole one.
ls "$out"/*.expect | wc -l >"$out/COMPLETE"
echo "oracle files written to $out ($(cat "$out/COMPLETE") expectation files)"

#!/usr/bin/env bash
# Writes Free Pascal TDbf's MDX file, its data file and its walks into OUTDIR
# (tests/oracles/tdbf_mdx.pas, compiled here with fpc) and leaves the program
# at OUTDIR/tdbf-build/tdbf_mdx, which the tests run again to read the MDX
# files our engine writes. A missing tool stops it with a message and a
# non-zero exit; it installs nothing (scripts/install-deps.sh does).
#
# usage: make_tdbf_mdx.sh OUTDIR
set -euo pipefail

out=${1:?usage: make_tdbf_mdx.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

missing() {
  echo "make_tdbf_mdx.sh: $1 is missing; run scripts/install-deps.sh" >&2
  exit 1
}
command -v fpc >/dev/null || missing "fpc (fp-compiler)"
for pkg in fp-compiler fp-units-db; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
    missing "Debian package $pkg"
done

mkdir -p "$out"
rm -f "$out"/*.dbf "$out"/*.mdx "$out"/*.walk "$out"/COMPLETE
build="$out/tdbf-build"
mkdir -p "$build"
if ! fpc -v0 -FU"$build" -o"$build/tdbf_mdx" "$root/tests/oracles/tdbf_mdx.pas" \
  >"$build/fpc.log" 2>&1; then
  cat "$build/fpc.log" >&2
  echo "make_tdbf_mdx.sh: fpc could not build tdbf_mdx (is fp-units-db installed?)" >&2
  exit 1
fi
"$build/tdbf_mdx" write "$out"

# The tests look for this mark: a half-written set never passes for a whole one.
ls "$out"/*.walk | wc -l >"$out/COMPLETE"
echo "TDbf MDX files written to $out ($(cat "$out/COMPLETE") walks)"

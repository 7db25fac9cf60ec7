#!/usr/bin/env bash
# Compiles tests/oracles/tdbf_read.pas (Free Pascal's TDbf reading a DBF file
# into canonical lines) into OUTDIR/tdbf_read for the write round-trip test.
# A missing tool stops it with a message and a non-zero exit; it installs
# nothing (scripts/install-deps.sh does).
#
# usage: make_tdbf_read.sh OUTDIR
set -euo pipefail

out=${1:?usage: make_tdbf_read.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

command -v fpc >/dev/null || {
  echo "make_tdbf_read.sh: fpc (fp-compiler) is missing; run scripts/install-deps.sh" >&2
  exit 1
}
mkdir -p "$out"
rm -f "$out/tdbf_read"
if ! fpc -v0 -FU"$out" -o"$out/tdbf_read" "$root/tests/oracles/tdbf_read.pas" >"$out/fpc.log" 2>&1; then
  cat "$out/fpc.log" >&2
  echo "make_tdbf_read.sh: fpc could not build tdbf_read (is fp-units-db installed?)" >&2
  exit 1
fi
echo "TDbf reader built at $out/tdbf_read"

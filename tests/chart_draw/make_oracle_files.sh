#!/usr/bin/env bash
# Draws every chart of the list with kvhost into WMF, PNG and PDF files in
# OUTDIR, has wmf2svg (libwmf) parse each metafile, LibreOffice render all
# metafiles to PNG in one start, and poppler render each PDF.
# Usage: make_oracle_files.sh KVHOST LIST OUTDIR
set -euo pipefail
kvhost="$1"
list="$2"
out="$3"
data="$(cd "$(dirname "$list")" && pwd)/data"
for tool in wmf2svg soffice pdftoppm pdfinfo; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool (bash scripts/install-deps.sh)" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out/lo" "$out/home"
cp "$list" "$out/oracle_charts.txt"
wmfs=()
while IFS='|' read -r name csv options; do
  case "$name" in ''|'#'*) continue ;; esac
  # Options are words; a face with spaces is the one word after --font.
  args=()
  read -r -a words <<<"$options"
  i=0
  while [ $i -lt ${#words[@]} ]; do
    if [ "${words[$i]}" = "--font" ]; then
      face=""
      i=$((i + 1))
      while [ $i -lt ${#words[@]} ] && [ "${words[$i]#--}" = "${words[$i]}" ]; do
        face="${face:+$face }${words[$i]}"
        i=$((i + 1))
      done
      args+=(--font "$face")
    else
      args+=("${words[$i]}")
      i=$((i + 1))
    fi
  done
  for ext in wmf png pdf; do
    "$kvhost" chart render "$data/$csv" "$out/$name.$ext" "${args[@]}" >/dev/null
  done
  wmf2svg -o "$out/$name.svg" "$out/$name.wmf"
  pdftoppm -png -r 72 -singlefile "$out/$name.pdf" "$out/$name-pdf"
  pdfinfo "$out/$name.pdf" >"$out/$name.pdfinfo"
  wmfs+=("$out/$name.wmf")
done <"$list"
# One LibreOffice start for every metafile; it needs a home it can write.
HOME="$out/home" timeout 400 soffice --headless --norestore --convert-to png --outdir "$out/lo" \
  "${wmfs[@]}" >"$out/soffice.log" 2>&1
for wmf in "${wmfs[@]}"; do
  name="$(basename "$wmf" .wmf)"
  [ -s "$out/lo/$name.png" ] || { echo "LibreOffice did not render $name" >&2; cat "$out/soffice.log" >&2; exit 1; }
done
echo "${#wmfs[@]} charts drawn and rendered"

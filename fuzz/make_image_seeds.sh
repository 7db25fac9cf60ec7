#!/usr/bin/env bash
# Writes the seed corpora of the image fuzz targets: small JPEG files made
# by libjpeg-turbo's cjpeg (grey, colour, progressive, restart markers),
# one behind a 12-byte prefix, and the other signatures recognition knows.
# The JPEG target's first byte chooses the prefix (bit 0) and a header-only
# read (bit 1).
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
command -v cjpeg >/dev/null || { echo "cjpeg is missing (libjpeg-turbo-progs)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recognise="$root/corpus/image_recognise"
jpeg="$root/corpus/image_jpeg"
mkdir -p "$recognise" "$jpeg"
/usr/bin/python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
w, h = 19, 13
rgb = bytes(((x * 13) % 256, (y * 19) % 256, (x * y) % 256)[c]
            for y in range(h) for x in range(w) for c in range(3))
open(work + "/c.ppm", "wb").write(b"P6\n%d %d\n255\n" % (w, h) + rgb)
open(work + "/g.pgm", "wb").write(b"P5\n%d %d\n255\n" % (w, h) + rgb[::3])
PY
cjpeg -quality 50 -outfile "$work/colour.jpg" "$work/c.ppm"
cjpeg -quality 50 -grayscale -outfile "$work/grey.jpg" "$work/g.pgm"
cjpeg -quality 50 -progressive -outfile "$work/progressive.jpg" "$work/c.ppm"
cjpeg -quality 50 -restart 1 -sample 1x1 -outfile "$work/restart.jpg" "$work/c.ppm"
for name in colour grey progressive restart; do
  cp "$work/$name.jpg" "$recognise/$name.jpg"
  { printf '\x00'; cat "$work/$name.jpg"; } >"$jpeg/$name"
  { printf '\x02'; cat "$work/$name.jpg"; } >"$jpeg/$name-header"
done
{ head -c 12 /dev/zero; cat "$work/colour.jpg"; } >"$recognise/prefixed.jpg"
{ printf '\x01'; cat "$work/grey.jpg"; } >"$jpeg/grey-prefixed"
printf 'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;' >"$recognise/tiny.gif"
printf 'II*\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$recognise/header.tif"
printf 'MM\x00*\x00\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$recognise/header-be.tif"
echo "seeds written by $(cjpeg -version 2>&1 | head -1)"

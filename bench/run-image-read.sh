#!/usr/bin/env bash
# Decoding 4000 x 3000 images: our GIF and TIFF readers against libtiff
# (tiffcp decoding to an uncompressed copy on /dev/null), Pillow (decoding
# through libtiff into its own image) and giflib (gif2rgb to /dev/null), in
# processor time (user + system of the whole process, best of the
# interleaved repetitions; the machine is shared, so wall time would measure
# the neighbours).
#
#   bench/run-image-read.sh BUILD_DIR
#
# Replaces the section "Image reading" in docs/benchmarks.md.
# KV_IMAGE_BENCH_REPS (default 3) sets the repetitions.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench=$(bench_program bench_image_read)
reps=${KV_IMAGE_BENCH_REPS:-3}
bench_tool tiffcp libtiff-tools
bench_tool gif2rgb giflib-tools
bench_python_module PIL python3-pil
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 "$repo/bench/make_image_read_files.py" "$work"
for c in none lzw lzw:2 packbits; do tiffcp -c "$c" "$work/picture.tif" "$work/rgb-${c/:/_}.tif"; done
for c in g3:1d g4; do tiffcp -c "$c" "$work/page.tif" "$work/page-${c/:/_}.tif"; done

# Processor milliseconds of one run of a command (user + system of its
# children), averaged over KV_IMAGE_BENCH_RUNS runs (default 5) since the
# clock counts in ticks of 10 ms.
runs=${KV_IMAGE_BENCH_RUNS:-5}
cpu() {
  local before after me=$BASHPID
  before=$(awk '{print $14 + $15 + $16 + $17}' "/proc/$me/stat")
  for _ in $(seq 1 "$runs"); do
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  done
  after=$(awk '{print $14 + $15 + $16 + $17}' "/proc/$me/stat")
  echo $(((after - before) * 1000 / $(getconf CLK_TCK) / runs))
}
best() { local b=$1; shift; for v in "$@"; do ((v < b)) && b=$v; done; echo "$b"; }

pil='import sys; from PIL import Image; Image.open(sys.argv[1]).load()'
rows="| file | ours (ms) | tiffcp -c none (ms) | Pillow (ms) | gif2rgb (ms) | ours / libtiff or giflib |
|---|---|---|---|---|---|"
for f in rgb-none rgb-lzw rgb-lzw_2 rgb-packbits page-g3_1d page-g4 picture-gif; do
  file="$work/$f.tif"
  [ "$f" = picture-gif ] && file="$work/picture.gif"
  ours=() ref=() py=()
  for _ in $(seq 1 "$reps"); do
    ours+=("$(cpu "$bench" "$file")")
    if [ "$f" = picture-gif ]; then
      ref+=("$(cpu gif2rgb -o /dev/null "$file")")
    else
      ref+=("$(cpu tiffcp -c none "$file" "$work/copy.tif")")
      py+=("$(cpu /usr/bin/python3 -c "$pil" "$file")")
    fi
  done
  o=$(best "${ours[@]}") r=$(best "${ref[@]}")
  p=-
  [ ${#py[@]} -gt 0 ] && p=$(best "${py[@]}")
  ratio=$(awk -v o="$o" -v r="$r" 'BEGIN { printf "%.2f", (r > 0 ? o / r : 0) }')
  if [ "$f" = picture-gif ]; then
    rows="$rows
| $f | $o | - | - | $r | $ratio |"
  else
    rows="$rows
| $f | $o | $r | $p | - | $ratio |"
  fi
  echo "$f: ours $o ms, reference $r ms, Pillow $p ms"
done

cpu_name=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
body="## Image reading

Decoding one 4000 x 3000 file per process, processor time (user + system;
each repetition the mean of $runs runs), best of $reps interleaved
repetitions, on $cpu_name. The TIFFs are a colour
picture in each strip coding (tiffcp's defaults: 8 KB strips) and a bilevel
page in Group 3 and Group 4; the GIF is the picture reduced to 256 colours.
tiffcp decodes and writes an uncompressed copy; Pillow decodes through
libtiff; gif2rgb decodes and writes RGB to /dev/null. Goal: within 1.5x of
libtiff and giflib. Made by bench/run-image-read.sh.

$rows"
if [ "$reps" -eq 3 ]; then replace_doc_section "$doc" "Image reading" "$body"; fi
echo "$body"

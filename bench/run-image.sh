#!/usr/bin/env bash
# A 4000 x 3000 picture read from JPEG, reduced to 256 colours and written
# as GIF by kvimage, against libjpeg-turbo's djpeg and PIL, in processor
# time (user + system; the machine is shared, so wall time would measure the
# neighbours). Repetitions are interleaved; the best of each is kept.
#
#   bench/run-image.sh BUILD_DIR
#
# Replaces the section "Images: reading, reduction and GIF writing" in
# docs/benchmarks.md. KV_IMAGE_BENCH_REPETITIONS (default 3).
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench=$(bench_program bench_image)
repetitions=${KV_IMAGE_BENCH_REPETITIONS:-3}
bench_tool cjpeg libjpeg-turbo-progs
bench_tool djpeg libjpeg-turbo-progs
bench_python_module PIL python3-pil
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

table=$(/usr/bin/python3 "$repo/bench/image_bench.py" "$bench" "$work" "$repetitions")
echo "$table"
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
pil=$(/usr/bin/python3 -c 'import PIL; print(PIL.__version__)')
jpeg=$(djpeg -version 2>&1 | head -1)
body="## Images: reading, reduction and GIF writing

A 4000 x 3000 picture (gradients with texture), best processor time of
$repetitions interleaved runs each, on $cpu. kvimage reads through the host's
opener with libjpeg-turbo, reduces with its own median cut and
Floyd-Steinberg diffusion, and writes GIF87a with its own LZW coder; the
others are $jpeg (djpeg, writing to /dev/null) and PIL $pil (its quantize
is a median cut without diffusion). A ratio below 1 means kvimage is faster.

$table"
replace_doc_section "$repo/docs/benchmarks.md" "Images: reading, reduction and GIF writing" "$body"

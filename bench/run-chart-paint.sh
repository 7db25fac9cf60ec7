#!/usr/bin/env bash
# Paint messages per second of a chart window of each type against the same
# chart drawn straight onto a raster surface of the window's size (12
# categories x 6 series, 640 x 480), in one run with the two ways taking
# turns of 0.1 s of processor time; the window path should add under 10%.
#
#   bench/run-chart-paint.sh BUILD_DIR
#
# Replaces the section "Chart window paints per second" in
# docs/benchmarks.md. KV_CHART_PAINT_SECONDS (default 3) sets how long each
# type runs.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench=$(bench_program bench_chart_paint)
seconds=${KV_CHART_PAINT_SECONDS:-3}

table="| type | window paints/s | direct drawings/s | window time / direct time |
|---|---|---|---|"
while read -r type window direct ratio; do
  table="$table
| $type | $window | $direct | $ratio |"
done < <("$bench" "$seconds")
echo "$table"
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
body="## Chart window paints per second

Measured by \`bench/run-chart-paint.sh\` (run by \`make bench\`; an optimised -O2 build) on $(date -u '+%Y-%m-%d %H:%M UTC'),
processor: $cpu. A chart window of 640 x 480 client pixels (12 categories x
6 series, title, legend at the right) painted through InvalidateRect and
UpdateWindow (WM_PAINT, the background erased with the class brush,
BeginPaint, the chart's body, EndPaint), against the same chart drawn
straight onto a 640 x 480 memory bitmap; the two take turns of 0.1 s of
processor time for ${seconds} s per type, in one run. The last column is
the window path's cost relative to the direct drawing (goal: below 1.10).

$table"
replace_doc_section "$doc" "Chart window paints per second" "$body"
echo "written: $doc"

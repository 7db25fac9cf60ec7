#!/usr/bin/env bash
# Charts of 12 categories x 6 series of each type, drawn per second of
# processor time (user + system; the machine is shared, so wall time would
# measure the neighbours): ours to the raster surface (a 640 x 480 bitmap
# written as a PNG file), to the bitmap alone (no file) and to a metafile
# file, against gnuplot's pngcairo terminal drawing a comparable chart of
# the same data at the same size into PNG files. Repetitions are
# interleaved (per repetition and type: ours, gnuplot, then the older
# build if one is named) and each figure is the median of the repetitions.
#
#   bench/run-chart.sh BUILD_DIR [OLDER_BENCH_CHART [LABEL]]
#
# OLDER_BENCH_CHART, a bench_chart binary of an earlier commit, adds its
# raster figures as a "before" column measured in the same run; LABEL
# (say, the commit) names it in the text.
# Replaces the section "Charts drawn per second" in docs/benchmarks.md.
# KV_CHART_BENCH_SECONDS (default 2) sets how long each of our runs draws;
# gnuplot draws KV_CHART_BENCH_PLOTS charts (default 40) per run;
# KV_CHART_BENCH_REPS (default 5, odd) repetitions.
set -euo pipefail
. "$(dirname "$0")/doc_section.sh"
build=$(cd "${1:?build directory}" && pwd)
older=${2:-}
older_label=${3:-$older}
repo=$(cd "$(dirname "$0")/.." && pwd)
bench="$build/bin/bench_chart"
seconds=${KV_CHART_BENCH_SECONDS:-2}
plots=${KV_CHART_BENCH_PLOTS:-40}
reps=${KV_CHART_BENCH_REPS:-5}
doc="$repo/docs/benchmarks.md"
for tool in "$bench" "$(command -v gnuplot || echo /usr/bin/gnuplot)" ${older:+"$older"}; do
  [ -x "$tool" ] || { echo "missing: $tool (build with -DKV_BENCH=ON; bash scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/ours" "$work/older" "$work/gnuplot"

# The data of the benchmark's charts, as bench_chart makes them.
for c in $(seq 1 12); do
  line="M$c"
  for s in $(seq 1 6); do
    v=$((10 + (s * 37 + c * 53) % 90))
    line="$line $v"
  done
  echo "$line"
done >"$work/data.txt"

gnuplot_script() {
  local type=$1 out="$work/gnuplot"
  echo "set terminal pngcairo size 640,480 font 'Liberation Sans,10'"
  echo "set title 'Monthly figures'"
  echo "set key outside right"
  case $type in
    pie|pie3d)
      # Wedges of series 1 with the circles style, as gnuplot draws pies.
      echo "stats '$work/data.txt' using 2 nooutput"
      echo "total = STATS_sum"
      echo "set size ratio -1; unset border; unset tics; set xrange [-1.2:1.6]; set yrange [-1.2:1.2]"
      echo "a = 0; b = 0"
      echo "do for [i=1:$plots] { set output sprintf('$out/g%d.png', i); a = 0;"
      echo "  plot '$work/data.txt' using (0):(0):(1):(a):(a = a + 360 * \$2 / total):(\$0) with circles lc var fs solid title '' }"
      ;;
    column|column3d)
      echo "set style data histograms; set style histogram clustered; set style fill solid"
      echo "do for [i=1:$plots] { set output sprintf('$out/g%d.png', i);"
      echo "  plot for [s=2:7] '$work/data.txt' using s:xtic(1) title sprintf('Series %d', s - 1) }"
      ;;
    curve)
      echo "do for [i=1:$plots] { set output sprintf('$out/g%d.png', i);"
      echo "  plot for [s=2:7] '$work/data.txt' using 0:s:xtic(1) with lines title sprintf('Series %d', s - 1) }"
      ;;
    scatter)
      echo "do for [i=1:$plots] { set output sprintf('$out/g%d.png', i);"
      echo "  plot for [k=0:2] '$work/data.txt' using (column(2 + 2 * k) + \$0):(column(3 + 2 * k)) with linespoints pt 5 ps 0.5 title sprintf('Series %d', 2 * k + 1) }"
      ;;
  esac
}

# Figures go to $work/figures as lines "type column value".
figures="$work/figures"
: >"$figures"
types="pie column curve pie3d column3d scatter"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date +%s)
for rep in $(seq 1 "$reps"); do
  for type in $types; do
    "$bench" "$work/ours" "$seconds" "$type" | awk '{print $1, $2, $3}' >>"$figures"
    echo "$type ours-png-bytes $(stat -c %s "$work/ours/bench-$type.png")" >>"$figures"

    gnuplot_script "$type" >"$work/$type.gp"
    # gnuplot's user and system time (bash's time of the child).
    TIMEFORMAT='%U %S'
    { time gnuplot "$work/$type.gp" 2>"$work/gnuplot.err"; } 2>"$work/gnuplot.time" ||
      { cat "$work/gnuplot.err" >&2; exit 1; }
    [ -s "$work/gnuplot/g$plots.png" ] || { echo "gnuplot drew nothing for $type" >&2; exit 1; }
    read -r user system <"$work/gnuplot.time"
    echo "$type gnuplot $(awk "BEGIN{printf \"%.1f\", $plots / ($user + $system)}")" >>"$figures"
    echo "$type gnuplot-png-bytes $(stat -c %s "$work/gnuplot/g$plots.png")" >>"$figures"
    rm -f "$work"/gnuplot/g*.png

    if [ -n "$older" ]; then
      "$older" "$work/older" "$seconds" "$type" | awk '$2 == "raster" {print $1, "older-raster", $3}' >>"$figures"
      echo "$type older-png-bytes $(stat -c %s "$work/older/bench-$type.png")" >>"$figures"
    fi
  done
done
elapsed=$(($(date +%s) - started))
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

# median TYPE COLUMN / spread TYPE COLUMN (largest over smallest)
median() {
  awk -v t="$1" -v c="$2" '$1 == t && $2 == c {print $3}' "$figures" | sort -g |
    awk '{v[NR] = $1} END {if (NR == 0) exit 1; print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
spread() {
  awk -v t="$1" -v c="$2" '$1 == t && $2 == c {if (min == "" || $3 < min) min = $3; if ($3 > max) max = $3}
    END {printf "%.2f", max / min}' "$figures"
}
ratio() { awk "BEGIN{printf \"%.1f\", $1 / $2}"; }

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
ncpu=$(nproc)
if [ -n "$older" ]; then
  table="| type | ours, raster + PNG (charts/s) | before, raster + PNG | after / before | ours, bitmap only | ours, metafile file | gnuplot pngcairo | raster / gnuplot | metafile / gnuplot | spread: ours raster, before, gnuplot |
|---|---:|---:|---:|---:|---:|---:|---:|---:|---|"
else
  table="| type | ours, raster + PNG (charts/s) | ours, bitmap only | ours, metafile file | gnuplot pngcairo | raster / gnuplot | metafile / gnuplot | spread: ours raster, gnuplot |
|---|---:|---:|---:|---:|---:|---:|---|"
fi
sizes="| type | ours: PNG bytes | $( [ -n "$older" ] && echo 'before: PNG bytes |') gnuplot: PNG bytes |
|---|---:|$( [ -n "$older" ] && echo '---:|')---:|"
for type in $types; do
  r=$(median "$type" raster); b=$(median "$type" bitmap); w=$(median "$type" metafile)
  g=$(median "$type" gnuplot)
  if [ -n "$older" ]; then
    o=$(median "$type" older-raster)
    table="$table
| $type | $r | $o | $(ratio "$r" "$o") | $b | $w | $g | $(ratio "$r" "$g") | $(ratio "$w" "$g") | $(spread "$type" raster), $(spread "$type" older-raster), $(spread "$type" gnuplot) |"
    sizes="$sizes
| $type | $(median "$type" ours-png-bytes) | $(median "$type" older-png-bytes) | $(median "$type" gnuplot-png-bytes) |"
  else
    table="$table
| $type | $r | $b | $w | $g | $(ratio "$r" "$g") | $(ratio "$w" "$g") | $(spread "$type" raster), $(spread "$type" gnuplot) |"
    sizes="$sizes
| $type | $(median "$type" ours-png-bytes) | $(median "$type" gnuplot-png-bytes) |"
  fi
done
echo "$table"
echo "$sizes"
before_note=""
if [ -n "$older" ]; then
  before_note="
- Before: \`bench_chart\` of an earlier build ($older_label), run in the same
  repetitions. Its PNG files were written by cairo's own writer (libpng
  trying every row filter, zlib at its default level), and it rewrites one
  file again and again, where the new benchmark writes new files: part of
  after / before is that (see below), the rest the writer."
fi
body="## Charts drawn per second

Measured by \`bench/run-chart.sh\` (run by \`make bench\`; Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'):
$ncpu CPUs, $cpu; load average $load_start at the start and $load_end at the end
(the machine is shared with other builds). Charts of 12 categories x 6 series,
640 x 480, title and legend at the right; charts per second of processor time
(user + system: wall time would measure the neighbours). $reps repetitions,
interleaved (per repetition and type: ours, gnuplot$( [ -n "$older" ] && echo ', before')), each figure the
median of its $reps; the timed runs took $elapsed s. The spread column
(largest over smallest of the repetitions) is the noise the ratios are to
be read against.

$table

Sizes of the last PNG file of each kind (medians):

$sizes

- Ours: \`bench_chart\` draws the chart through its drawing operation again and
  again for ${seconds} s: to the raster surface, a 640 x 480 bitmap then written
  as a new PNG file each time, as gnuplot writes its charts (the files are
  removed after the timing); to the bitmap alone (the drawing without the
  file); and to a placeable metafile file (recorded in memory, then header
  and records written).$before_note
- gnuplot (gnuplot-nox, \`pngcairo\` terminal, cairo's PNG writer) draws $plots
  charts of the same data in one run (its start is shared by them) into
  $plots PNG files of the same size: clustered histograms for the column
  types, lines for curves, linespoints for scatter pairs, wedges of the
  \`circles\` style for the pies (gnuplot has no 3D relief, so the pie3d row
  compares our relief, 33 layers of the pie, with gnuplot's flat pie). Its
  charts also carry a frame, tics and tic labels; ours carry the value
  scale, category labels and legend: comparable work, not identical
  pictures."
replace_doc_section "$doc" "Charts drawn per second" "$body"
echo "written: $doc"

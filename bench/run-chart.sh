#!/usr/bin/env bash
# Charts of 12 categories x 6 series of each type, drawn per second of
# processor time (user + system; the machine is shared, so wall time would
# measure the neighbours): ours to
# the raster surface (a 640 x 480 bitmap written as PNG) and to a metafile
# file, against gnuplot's pngcairo terminal drawing a comparable chart of
# the same data at the same size. Repetitions are interleaved (ours, then
# gnuplot, per type, three times); the best of each is kept.
#
#   bench/run-chart.sh BUILD_DIR
#
# Replaces the section "Charts drawn per second" in docs/benchmarks.md.
# KV_CHART_BENCH_SECONDS (default 2) sets how long each of our runs draws;
# gnuplot draws KV_CHART_BENCH_PLOTS charts (default 40) per run.
set -euo pipefail
. "$(dirname "$0")/doc_section.sh"
build=$(cd "${1:?build directory}" && pwd)
repo=$(cd "$(dirname "$0")/.." && pwd)
bench="$build/bin/bench_chart"
seconds=${KV_CHART_BENCH_SECONDS:-2}
plots=${KV_CHART_BENCH_PLOTS:-40}
doc="$repo/docs/benchmarks.md"
for tool in "$bench" "$(command -v gnuplot || echo /usr/bin/gnuplot)"; do
  [ -x "$tool" ] || { echo "missing: $tool (build with -DKV_BENCH=ON; bash scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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
  local type=$1
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
      echo "do for [i=1:$plots] { set output sprintf('$work/g%d.png', i); a = 0;"
      echo "  plot '$work/data.txt' using (0):(0):(1):(a):(a = a + 360 * \$2 / total):(\$0) with circles lc var fs solid title '' }"
      ;;
    column|column3d)
      echo "set style data histograms; set style histogram clustered; set style fill solid"
      echo "do for [i=1:$plots] { set output sprintf('$work/g%d.png', i);"
      echo "  plot for [s=2:7] '$work/data.txt' using s:xtic(1) title sprintf('Series %d', s - 1) }"
      ;;
    curve)
      echo "do for [i=1:$plots] { set output sprintf('$work/g%d.png', i);"
      echo "  plot for [s=2:7] '$work/data.txt' using 0:s:xtic(1) with lines title sprintf('Series %d', s - 1) }"
      ;;
    scatter)
      echo "do for [i=1:$plots] { set output sprintf('$work/g%d.png', i);"
      echo "  plot for [k=0:2] '$work/data.txt' using (column(2 + 2 * k) + \$0):(column(3 + 2 * k)) with linespoints pt 5 ps 0.5 title sprintf('Series %d', 2 * k + 1) }"
      ;;
  esac
}

declare -A best_raster best_wmf best_gnuplot
types="pie column curve pie3d column3d scatter"
for rep in 1 2 3; do
  for type in $types; do
    while read -r t surface rate; do
      if [ "$surface" = raster ]; then
        [ -z "${best_raster[$t]:-}" ] || awk "BEGIN{exit !($rate <= ${best_raster[$t]})}" || best_raster[$t]=$rate
        [ -n "${best_raster[$t]:-}" ] || best_raster[$t]=$rate
      else
        [ -z "${best_wmf[$t]:-}" ] || awk "BEGIN{exit !($rate <= ${best_wmf[$t]})}" || best_wmf[$t]=$rate
        [ -n "${best_wmf[$t]:-}" ] || best_wmf[$t]=$rate
      fi
    done < <("$bench" "$work" "$seconds" "$type")
    gnuplot_script "$type" >"$work/$type.gp"
    # gnuplot's user and system time (bash's time of the child).
    TIMEFORMAT='%U %S'
    { time gnuplot "$work/$type.gp" 2>"$work/gnuplot.err"; } 2>"$work/gnuplot.time" ||
      { cat "$work/gnuplot.err" >&2; exit 1; }
    [ -s "$work/g$plots.png" ] || { echo "gnuplot drew nothing for $type" >&2; exit 1; }
    read -r user system <"$work/gnuplot.time"
    rate=$(awk "BEGIN{printf \"%.1f\", $plots / ($user + $system)}")
    if [ -z "${best_gnuplot[$type]:-}" ] || awk "BEGIN{exit !($rate > ${best_gnuplot[$type]})}"; then
      best_gnuplot[$type]=$rate
    fi
    rm -f "$work"/g*.png
  done
done

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
table="| type | ours, raster + PNG (charts/s) | ours, metafile file (charts/s) | gnuplot pngcairo (charts/s) | raster / gnuplot | metafile / gnuplot |
|---|---|---|---|---|---|"
for type in $types; do
  r=${best_raster[$type]}; w=${best_wmf[$type]}; g=${best_gnuplot[$type]}
  table="$table
| $type | $r | $w | $g | $(awk "BEGIN{printf \"%.1f\", $r / $g}") | $(awk "BEGIN{printf \"%.1f\", $w / $g}") |"
done
echo "$table"
body="## Charts drawn per second

Measured by \`bench/run-chart.sh\` (run by \`make bench\`; Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'),
processor: $cpu. Charts of 12 categories x 6 series, 640 x 480, title and
legend at the right; charts per second of processor time (user + system:
the machine is shared, wall time would measure the neighbours); best of
three interleaved repetitions.

$table

- Ours: \`bench_chart\` draws the chart through its drawing operation again and
  again for ${seconds} s: to the raster surface, a 640 x 480 bitmap then written
  as a PNG file (what gnuplot's terminal also does), and to a placeable
  metafile file (recorded in memory, then header and records written).
- gnuplot (gnuplot-nox, \`pngcairo\` terminal) draws $plots charts of the same
  data in one run (its start is shared by them): clustered histograms for the
  column types, lines for curves, linespoints for scatter pairs, wedges of the
  \`circles\` style for the pies (gnuplot has no 3D relief)."
replace_doc_section "$doc" "Charts drawn per second" "$body"
echo "written: $doc"

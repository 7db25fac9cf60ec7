#!/usr/bin/env bash
# kvhost demo --ui gtk as a person runs it on a desktop (DISPLAY is set by
# scripts/with-xvfb.sh): the demo window and the chart window appear, a
# right click on the chart opens its menu and choosing "Graph type" then
# "Sector" by their mnemonics turns the column chart into a pie on the
# screen, Escape in the demo window goes on to the image read, whose wait
# window is mapped, and the demo ends cleanly.
#   desktop_demo_test.sh KVHOST X_MAP_WATCH
set -euo pipefail
kvhost="$1"
map_watch="$2"
for tool in xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/kv-desktop-demo.XXXXXX")"
demo=
watch=
cleanup() {
  if [ -n "$demo" ] && kill -0 "$demo" 2>/dev/null; then kill "$demo" 2>/dev/null || true; fi
  if [ -n "$watch" ] && kill -0 "$watch" 2>/dev/null; then kill "$watch" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
unset KV_UI
KV_DEMO_OUT="$work/charts" "$kvhost" demo --ui gtk >"$work/out.txt" 2>&1 &
demo=$!

find_window() {
  timeout "$2" xdotool search --sync --onlyvisible --name "$1" | head -n 1
}
host="$(find_window '^kvhost demo$' 60)"
chart="$(find_window '^Sales \(own window\)$' 10)"
if [ -z "$host" ] || [ -z "$chart" ]; then
  echo "the demo's windows did not appear" >&2
  cat "$work/out.txt" >&2
  exit 1
fi
# The chart window's picture on the screen, as the X server has it.
shot() { import -window "$chart" "png24:$work/$1.png"; }
# How many pixels two pictures of the chart window differ in.
differing() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }
sleep 0.5
shot columns
visible() { xdotool search --onlyvisible --name '' | wc -l; }
# Waits (5 s at most) until the count of visible windows compares with $2
# as the test operator $1 says.
await_visible() {
  for _ in $(seq 50); do
    [ "$(visible)" "$1" "$2" ] && return 0
    sleep 0.1
  done
  return 1
}
before="$(visible)"
xdotool mousemove --window "$chart" --sync 120 120 click 3
# The popup menu is one more visible window on the screen.
if ! await_visible -gt "$before"; then
  xdotool key Escape
  echo "no popup menu appeared on the right click" >&2
  exit 1
fi
xdotool key t sleep 0.3 key s
# The menu goes, and the window shows the chart as a pie.
await_visible -eq "$before" || { echo "the popup menu stays on the screen" >&2; exit 1; }
changed=no
for _ in $(seq 30); do
  shot pie
  # Another type redraws most of the chart's area (a column chart and a pie
  # share only the background and the title).
  if [ "$(differing columns pie)" -gt 20000 ]; then changed=yes; break; fi
  sleep 0.2
done
[ "$changed" = yes ] || { echo "the chart did not change after the menu: $(differing columns pie) pixels" >&2; exit 1; }
# The same picture twice: what changed was the menu's doing, not noise.
sleep 0.3
shot pie-again
[ "$(differing pie pie-again)" -eq 0 ] || { echo "the chart's picture is not steady" >&2; exit 1; }

"$map_watch" >"$work/mapped.txt" 2>&1 &
watch=$!
for _ in $(seq 50); do
  grep -qx ready "$work/mapped.txt" && break
  sleep 0.1
done
grep -qx ready "$work/mapped.txt" || { echo "x_map_watch did not start" >&2; cat "$work/mapped.txt" >&2; exit 1; }
xdotool windowfocus --sync "$host" sleep 0.2 key Escape

status=0
for _ in $(seq 600); do
  kill -0 "$demo" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$demo" 2>/dev/null; then
  echo "the demo did not end after its window closed" >&2
  cat "$work/out.txt" >&2
  exit 1
fi
wait "$demo" || status=$?
demo=
kill "$watch" 2>/dev/null || true
wait "$watch" 2>/dev/null || true
watch=
cat "$work/out.txt"
# The wait window carries the name of the file it reads.
grep -qx "large picture.jpg" "$work/mapped.txt" || {
  echo "no wait window was mapped during the read; windows mapped:" >&2
  cat "$work/mapped.txt" >&2
  exit 1
}
[ "$status" -eq 0 ] || { echo "kvhost demo --ui gtk exited with $status" >&2; exit 1; }
grep -q "read: 3200 x 2400 pixels" "$work/out.txt"
grep -q "live windows 0, classes [0-9]*, menus 0 once it is over" "$work/out.txt"

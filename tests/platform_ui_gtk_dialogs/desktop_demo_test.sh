#!/usr/bin/env bash
# kvhost demo --ui gtk as a person runs it on a desktop (DISPLAY is set by
# scripts/with-xvfb.sh): the demo window and the chart window appear, a
# right click on the chart opens its menu and Escape closes it, Escape in
# the demo window goes on to the image read, and the demo ends cleanly.
#   desktop_demo_test.sh KVHOST
set -euo pipefail
kvhost="$1"
for tool in xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/kv-desktop-demo.XXXXXX")"
demo=
cleanup() {
  if [ -n "$demo" ] && kill -0 "$demo" 2>/dev/null; then kill "$demo" 2>/dev/null || true; fi
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
before="$(xdotool search --onlyvisible --name '' | wc -l)"
xdotool mousemove --window "$chart" --sync 120 120 click 3
# The popup menu is one more visible window on the screen.
shown=no
for _ in $(seq 50); do
  now="$(xdotool search --onlyvisible --name '' | wc -l)"
  if [ "$now" -gt "$before" ]; then shown=yes; break; fi
  sleep 0.1
done
xdotool key Escape
[ "$shown" = yes ] || { echo "no popup menu appeared on the right click" >&2; exit 1; }
sleep 0.3
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
cat "$work/out.txt"
[ "$status" -eq 0 ] || { echo "kvhost demo --ui gtk exited with $status" >&2; exit 1; }
grep -q "read: 3200 x 2400 pixels" "$work/out.txt"
grep -q "live windows 0, classes [0-9]*, menus 0 once it is over" "$work/out.txt"

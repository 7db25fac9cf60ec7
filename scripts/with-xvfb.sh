#!/usr/bin/env bash
# Runs a command with DISPLAY set to a virtual X server of its own:
#   scripts/with-xvfb.sh [--screen WxHxD] command [args...]
# The server (Xvfb) picks a free display number itself (-displayfd), keeps
# its log in a temporary directory, and is stopped when the command ends,
# also when it fails or the script is interrupted. The command's exit
# status is the script's. A missing Xvfb is an error, never a skip.
set -euo pipefail

screen=1024x768x24
if [ "${1:-}" = "--screen" ]; then
  screen="$2"
  shift 2
fi
if [ "$#" -eq 0 ]; then
  echo "usage: $0 [--screen WxHxD] command [args...]" >&2
  exit 2
fi
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "$0: Xvfb is not installed (bash scripts/install-deps.sh installs it)" >&2
  exit 127
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/kv-xvfb.XXXXXX")"
server=
stop() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The server writes its display number to the pipe once it accepts
# connections.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
server=$!
number=
if ! read -r -t 20 number <"$work/display" || [ -z "$number" ]; then
  echo "$0: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

export DISPLAY=":$number"
status=0
"$@" || status=$?
exit "$status"

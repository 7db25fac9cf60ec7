#!/usr/bin/env bash
# Runs a command with GTK's settings from a temporary folder of its own
# (removed at the end): the file printer alone, no animations, and no
# accessibility bridge (there is no session bus to reach).
set -euo pipefail
config="$(mktemp -d "${TMPDIR:-/tmp}/kv-gtk-settings.XXXXXX")"
trap 'rm -rf "$config"' EXIT
mkdir -p "$config/gtk-3.0"
printf '[Settings]\ngtk-print-backends=file\ngtk-enable-animations=false\n' \
  >"$config/gtk-3.0/settings.ini"
export XDG_CONFIG_HOME="$config"
export NO_AT_BRIDGE=1
status=0
"$@" || status=$?
exit "$status"

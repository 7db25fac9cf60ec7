#!/usr/bin/env bash
# Runs the sample writer of the Linux build and that of the Windows build
# (under Wine) into two folders and compares every file byte for byte.
#   compare_samples.sh <linux program> <windows program.exe>
set -euo pipefail
linux_program=${1:?linux program}
windows_program=${2:?windows program}
command -v wine >/dev/null || { echo "wine is missing (bash scripts/install-deps.sh)"; exit 1; }
[ -f "$windows_program" ] || { echo "$windows_program is missing (make windows)"; exit 1; }

work=$(mktemp -d /tmp/kv-same-bytes-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/windows"

"$linux_program" "$work/linux"
# The Windows program's own folder is the DLLs' folder; the output folder is
# given as a Windows path on Wine's Z: drive.
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine "$windows_program" "$(winepath -w "$work/windows")"

files=(platform.wmf chart_columns.wmf chart_pie.wmf image.gif image.jpg)
status=0
for f in "${files[@]}"; do
  if [ ! -s "$work/linux/$f" ] || [ ! -s "$work/windows/$f" ]; then
    echo "$f: not written by both builds"; status=1; continue
  fi
  if cmp "$work/linux/$f" "$work/windows/$f"; then
    echo "$f: same $(stat -c %s "$work/linux/$f") bytes"
  else
    status=1
  fi
done
exit "$status"

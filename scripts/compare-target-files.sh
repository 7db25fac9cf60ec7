#!/usr/bin/env bash
# Runs the file writer of the Linux build and that of the Windows build
# (under Wine) on fresh directories and compares what they wrote, byte for
# byte: the same file names, the same bytes.
#   scripts/compare-target-files.sh LINUX_WRITER WINDOWS_WRITER.exe
set -euo pipefail
linux=${1:?Linux kv_file_writer}
windows=${2:?Windows kv_file_writer.exe}
[ -x "$linux" ] || { echo "the Linux writer is missing: $linux (make build)" >&2; exit 1; }
[ -f "$windows" ] || { echo "the Windows writer is missing: $windows" >&2; exit 1; }
command -v wine >/dev/null || { echo "wine missing (bash scripts/install-deps.sh --windows)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kv-same-files-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/linux" "$work/windows"
"$linux" "$work/linux" >/dev/null
wine "$windows" "Z:$work/windows" >/dev/null

names_linux=$(cd "$work/linux" && ls | sort)
names_windows=$(cd "$work/windows" && ls | sort)
if [ "$names_linux" != "$names_windows" ]; then
  echo "the two writers made different files:"
  diff <(echo "$names_linux") <(echo "$names_windows") || true
  exit 1
fi
count=0
status=0
for name in $names_linux; do
  if ! cmp "$work/linux/$name" "$work/windows/$name"; then status=1; fi
  count=$((count + 1))
done
# Fewer files than the writer makes would mean it stopped early unnoticed.
[ "$count" -ge 15 ] || { echo "only $count files were written"; exit 1; }
[ "$status" -eq 0 ] && echo "$count files identical: $(echo $names_linux)"
exit "$status"

#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds,
# starting from the seed corpus in fuzz/corpus/<target>. Exits non-zero on the
# first finding.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)

found=0
for target in "$build"/bin/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  echo "fuzzing $name for ${seconds}s"
  if ! (cd "$work" && "$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 "$work" 2>&1 | tail -n 12); then
    found=1
  fi
  # A crash leaves its input behind in the working directory.
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
    mkdir -p "$root/fuzz/findings"
    cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$root/fuzz/findings/" 2>/dev/null || true
    found=1
  fi
  rm -rf "$work"
done
if [ "$found" -ne 0 ]; then
  echo "fuzzing found a problem: inputs are in fuzz/findings/" >&2
  exit 1
fi
if ! ls "$build"/bin/fuzz_* >/dev/null 2>&1; then
  echo "no fuzz targets were built in $build" >&2
  exit 1
fi

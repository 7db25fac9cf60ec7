#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given number of seconds,
# starting from the seed corpus in fuzz/corpus/<target>, as many at a time as
# there are jobs (each libFuzzer process uses one core, so two jobs on two
# cores give every target the same CPU time as one after the other). Exits
# non-zero when any target finds a problem.
set -euo pipefail
build=$(cd "${1:?build directory}" && pwd)
seconds=${2:-60}
jobs=${3:-2}
root=$(cd "$(dirname "$0")/.." && pwd)

if ! ls "$build"/bin/fuzz_* >/dev/null 2>&1; then
  echo "no fuzz targets were built in $build" >&2
  exit 1
fi

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# One target in its own working directory; its output goes to a log that is
# printed whole when it ends, so that parallel runs do not interleave.
fuzz_one() {
  local target=$1 name seeds work status=0
  name=$(basename "$target")
  seeds="$root/fuzz/corpus/${name#fuzz_}"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  if ! (cd "$work" && "$target" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 "$work") >"$logs/$name.log" 2>&1; then
    status=1
  fi
  # A crash, leak or time-out leaves its input behind in the working directory.
  local findings
  findings=$(find "$work" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \) -print)
  if [ -n "$findings" ]; then
    mkdir -p "$root/fuzz/findings"
    while IFS= read -r finding; do
      cp "$finding" "$root/fuzz/findings/$name-$(basename "$finding")"
    done <<<"$findings"
    status=1
  fi
  rm -rf "$work"
  {
    echo "fuzzed $name for ${seconds}s: $([ $status -eq 0 ] && echo clean || echo FOUND A PROBLEM)"
    if [ $status -eq 0 ]; then tail -n 12 "$logs/$name.log"; else tail -n 60 "$logs/$name.log"; fi
  }
  [ $status -eq 0 ] || touch "$logs/$name.found"
}

running=0
for target in "$build"/bin/fuzz_*; do
  [ -x "$target" ] || continue
  fuzz_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

if ls "$logs"/*.found >/dev/null 2>&1; then
  echo "fuzzing found a problem in: $(cd "$logs" && ls *.found | sed 's/\.found$//' | tr '\n' ' ')" >&2
  echo "inputs are in fuzz/findings/" >&2
  exit 1
fi

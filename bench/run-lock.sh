#!/usr/bin/env bash
# Record locks: what one lock and unlock of a record costs through the engine
# (XBDDRLOCK mode 7 then mode 6), through the platform's LockFile/UnlockFile
# and as a bare fcntl open-file-description lock of one byte (the floor), all
# in one run of bench_lock.
#
#   bench/run-lock.sh BUILD_DIR
#
# Prints the table and replaces the section "Record locks: lock and unlock
# round trip" in docs/benchmarks.md. KV_LOCK_BENCH_N=M runs M round trips
# instead of 1,000,000 for a quick try; such a run leaves docs/benchmarks.md
# alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_lock)
n=${KV_LOCK_BENCH_N:-1000000}
section="Record locks: lock and unlock round trip"

build_type=$(bench_build_type)
work="$build/bench-lock"
mkdir -p "$work"
load=$(cut -d' ' -f1-3 /proc/loadavg)
start=$(date +%s)
results=$("$ours" "$work" "$n")
elapsed=$(($(date +%s) - start))
rm -f "$work"/*.dbf

table=$(
  echo "| path | what one round trip is | wall s | µs (wall) | CPU s | µs (CPU) | wall vs floor | CPU vs floor |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|"
  echo "$results" | awk '
    $1 == "RESULT" { name[++k] = $2; ops[k] = $3; wall[k] = $4; cpu[k] = $5; at[$2] = k }
    END {
      what["engine"] = "`XBDDRLOCK(h, r, 7)` + `XBDDRLOCK(h, r, 6)`, empty record-lock list"
      what["engine-1000-held"] = "the same with 1,000 other records held by the handle"
      what["platform"] = "`LockFile` + `UnlockFile` of byte 0x7FFFFFBF − r"
      what["fcntl"] = "`fcntl(F_OFD_SETLK)` write lock + unlock of that byte (floor)"
      f = at["fcntl"]
      for (i = 1; i <= k; ++i)
        printf "| %s | %s | %.3f | %.2f | %.3f | %.2f | %.2fx | %.2fx |\n", name[i], what[name[i]],
          wall[i], wall[i] * 1e6 / ops[i], cpu[i], cpu[i] * 1e6 / ops[i],
          (wall[f] > 0 ? wall[i] / wall[f] : 0), (cpu[f] > 0 ? cpu[i] / cpu[f] : 0)
    }'
)
echo "$table"
echo
echo "whole run: ${elapsed} s"

if [ "$n" -ne 1000000 ]; then
  echo "$n round trips: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-lock.sh\` (called by \`bench/run-all.sh\`; $build_type build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //'),"
  echo "load average $load when the run started; one run of \`bench_lock\` (each path"
  echo "warmed by 10,000 untimed round trips first), the whole run took ${elapsed} s."
  echo "$n round trips per path, on records 1 .. $n of a data file opened shared."
  echo
  echo "$table"
  echo
  echo "What is measured:"
  echo
  echo "- Each round trip locks one record's byte and unlocks it again, a real"
  echo "  byte-range lock each time (Linux open-file-description locks, which are"
  echo "  held per open handle like the Windows locks the engine was designed for)."
  echo "  After each path the benchmark checks from a fresh open that no byte is"
  echo "  left locked, and it stops if any lock was refused."
  echo "- The engine's share over the floor is the exported call (context lookup,"
  echo "  handle selection), the record-lock list and the platform layer, which"
  echo "  keeps each handle's ranges so that it can refuse overlapping locks and"
  echo "  unlocks of ranges it does not hold, as Windows does."
  echo "- With 1,000 records already held, each lock first looks through the"
  echo "  handle's list (it is searched in order, as the list keeps the order the"
  echo "  records were locked in)."
  echo "- CPU time is user + system time of the process; wall time also counts"
  echo "  waiting for a CPU on a shared machine and whatever a sandbox spends on"
  echo "  each system call outside the process's own time. The ratios are taken"
  echo "  within one run, so they hold for the machine as it was."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

#!/usr/bin/env bash
# kvcomm's socket classes over loopback against their floor: round trips of
# a 64-byte exchange (against a plain C ping-pong in bench_net) and a
# 100 MB stream (against socat moving the same number of bytes), plain and
# scrambled, in interleaved repetitions of one run.
#
#   bench/run-net.sh BUILD_DIR
#
# Prints the table and replaces the section "Sockets: loopback round trips
# and streams" in docs/benchmarks.md. KV_NET_BENCH_QUICK=1 runs a tenth of
# the work for a quick try and leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
bench="$build/bin/bench_net"
section="Sockets: loopback round trips and streams"
quick=${KV_NET_BENCH_QUICK:-0}
trips=200000
bytes=100000000
if [ "$quick" = 1 ]; then
  trips=20000
  bytes=10000000
fi
rounds=5

[ -x "$bench" ] || { echo "missing: $bench (build with -DKV_BENCH=ON)" >&2; exit 1; }
command -v socat >/dev/null || { echo "missing: socat (run scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "$bytes" /dev/zero >"$work/stream.bin"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# socat receives into OUT (a file to count, or /dev/null) what socat sends,
# both with 64 KiB buffers (socat's default of 8 KiB would make the floor
# needlessly slow).
socat_stream() {
  local out=$1 port
  port=$(free_port)
  socat -u -b 65536 "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr" "OPEN:$out,creat,trunc" &
  local receiver=$!
  socat -u -b 65536 "OPEN:$work/stream.bin" "TCP:127.0.0.1:$port,retry=200,interval=0.01"
  wait "$receiver"
}

# Every path must move all its bytes before it is timed.
socat_stream "$work/check.bin"
[ "$(stat -c %s "$work/check.bin")" = "$bytes" ] || { echo "socat moved $(stat -c %s "$work/check.bin") bytes" >&2; exit 1; }
rm -f "$work/check.bin"
"$bench" stream ours "$bytes" >/dev/null
"$bench" stream scrambled "$bytes" >/dev/null

seconds_of() { bench_seconds_of "$@"; }

declare -a rtt_floor rtt_ours rtt_scr st_socat st_ours st_scr
load=$(cut -d' ' -f1-3 /proc/loadavg)
for ((r = 0; r < rounds; ++r)); do
  rtt_floor+=("$("$bench" rtt floor "$trips" | awk '{print $2}')")
  rtt_ours+=("$("$bench" rtt ours "$trips" | awk '{print $2}')")
  rtt_scr+=("$("$bench" rtt scrambled "$trips" | awk '{print $2}')")
  st_socat+=("$(seconds_of socat_stream /dev/null)")
  st_ours+=("$(seconds_of "$bench" stream ours "$bytes")")
  st_scr+=("$(seconds_of "$bench" stream scrambled "$bytes")")
done

median() { bench_median "$@"; }
ratio() { bench_ratio "$@"; }
mb_s() { bench_mb_s "$1" "$bytes"; }

f=$(median "${rtt_floor[@]}")
o=$(median "${rtt_ours[@]}")
s=$(median "${rtt_scr[@]}")
sf=$(median "${st_socat[@]}")
so=$(median "${st_ours[@]}")
ss=$(median "${st_scr[@]}")
table=$(
  echo "| path | floor (C ping-pong / socat) | ours, plain | ours, scrambled | plain: time / floor's | scrambled: time / floor's |"
  echo "|---|---:|---:|---:|---:|---:|"
  echo "| 64-byte round trips per second | $f | $o | $s | $(ratio "$f" "$o") | $(ratio "$f" "$s") |"
  echo "| 100 MB stream, MB/s | $(mb_s "$sf") | $(mb_s "$so") | $(mb_s "$ss") | $(ratio "$so" "$sf") | $(ratio "$ss" "$sf") |"
)
goal_rtt=$(awk -v f="$f" -v o="$o" 'BEGIN{print (f / o <= 1.2) ? "met" : "missed"}')
goal_stream=$(awk -v a="$so" -v b="$sf" 'BEGIN{print (a / b <= 1.2) ? "met" : "missed"}')
echo "$table"
echo "goal (unscrambled within 1.2x of the floor): round trips $goal_rtt, stream $goal_stream"

if [ "$quick" = 1 ]; then
  echo "quick run: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-net.sh\` (Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(lscpu | sed -n 's/^Model name: *//p' | head -1), load average $load"
  echo "when the timing started (the machine is shared). Medians of $rounds interleaved rounds;"
  echo "each round runs every path once, in the order of the table's columns. The last two"
  echo "columns are the time a round trip or the stream takes over the floor's (below 1: faster)."
  echo
  echo "$table"
  echo
  echo "Goal, unscrambled within 1.2x of the floor: round trips **$goal_rtt**, stream **$goal_stream**."
  echo
  echo "- Round trips: $trips exchanges of 64 bytes each way between a \`clCLIENT\` and the"
  echo "  service thread of a \`clSERVER\` in one process (\`bench_net rtt\`); the floor is the"
  echo "  same exchange over bare POSIX sockets with TCP_NODELAY, in the same program."
  echo "- Stream: $bytes bytes sent in pieces of 65530 with \`lSendAll\` and received by the"
  echo "  service with \`lRecv\` (\`bench_net stream\`, setup included); the floor is"
  echo "  \`socat -u -b 65536 OPEN:file TCP:...\` into \`socat -u -b 65536 TCP-LISTEN:...\`"
  echo "  \`OPEN:/dev/null\`, the file in the page cache. Scrambled runs pass every byte"
  echo "  through the mask on both ends."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

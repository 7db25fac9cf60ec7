#!/usr/bin/env bash
# kvcomm's remote services over loopback against their floor: the round
# trip of an empty remote call (against bench_net's plain C ping-pong of 64
# bytes) and a 100 MB file sent to a file server (against socat moving the
# same file from a file into a file), in interleaved repetitions of one run.
#
#   bench/run-rpc.sh BUILD_DIR
#
# Prints the table and replaces the section "Remote calls and file
# transfers" in docs/benchmarks.md. KV_RPC_BENCH_QUICK=1 runs a tenth of the
# work and leaves docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours=$(bench_program bench_rpc)
floor=$(bench_program bench_net)
module="$build/lib/libkvrpcbench.so"
[ -f "$module" ] || module=$(find "$build" -name libkvrpcbench.so | head -1)
[ -f "$module" ] || { echo "missing: libkvrpcbench.so (build with -DKV_BENCH=ON)" >&2; exit 1; }
bench_tool socat socat
section="Remote calls and file transfers"
quick=${KV_RPC_BENCH_QUICK:-0}
calls=50000
bytes=100000000
if [ "$quick" = 1 ]; then
  calls=5000
  bytes=10000000
fi
rounds=5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Passwords]\nbench=bench\n' >"$work/KVRPCSRV.INI"
head -c "$bytes" /dev/urandom >"$work/source.bin"
cd "$work"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
socat_copy() {  # file -> TCP -> file, as a transfer does
  local port
  port=$(free_port)
  socat -u -b 65536 "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr" "OPEN:$work/socat.bin,creat,trunc" &
  local receiver=$!
  socat -u -b 65536 "OPEN:$work/source.bin" "TCP:127.0.0.1:$port,retry=200,interval=0.01"
  wait "$receiver"
}
seconds_of() { bench_seconds_of "$@"; }

# Both paths must move every byte before they are timed.
socat_copy
cmp -s "$work/source.bin" "$work/socat.bin" || { echo "socat did not copy the file" >&2; exit 1; }
"$ours" put "$work/source.bin" "$work/ours.bin" >/dev/null
cmp -s "$work/source.bin" "$work/ours.bin" || { echo "the transfer did not copy the file" >&2; exit 1; }

declare -a rtt_floor rtt_ours put_socat put_ours
load=$(cut -d' ' -f1-3 /proc/loadavg)
for ((r = 0; r < rounds; ++r)); do
  rtt_floor+=("$("$floor" rtt floor "$calls" | awk '{print $2}')")
  rtt_ours+=("$("$ours" call "$module" "$calls" | awk '{print $2}')")
  put_socat+=("$(seconds_of socat_copy)")
  put_ours+=("$("$ours" put "$work/source.bin" "$work/ours.bin" | awk '{print $2}')")
done

median() { bench_median "$@"; }
ratio() { bench_ratio "$@"; }
mb_s() { bench_mb_s "$1" "$bytes"; }
f=$(median "${rtt_floor[@]}")
o=$(median "${rtt_ours[@]}")
sf=$(median "${put_socat[@]}")
so=$(median "${put_ours[@]}")
table=$(
  echo "| path | floor (C ping-pong / socat) | ours | time / floor's |"
  echo "|---|---:|---:|---:|"
  echo "| empty remote calls per second | $f | $o | $(ratio "$f" "$o") |"
  echo "| $bytes-byte file sent, MB/s | $(mb_s "$sf") | $(mb_s "$so") | $(ratio "$so" "$sf") |"
)
goal_call=$(awk -v f="$f" -v o="$o" 'BEGIN{print (f / o <= 2) ? "met" : "missed"}')
goal_put=$(awk -v a="$so" -v b="$sf" 'BEGIN{print (a / b <= 1.5) ? "met" : "missed"}')
echo "$table"
echo "goals: a call within 2x of the ping-pong ($goal_call), a transfer within 1.5x of socat ($goal_put)"
if [ "$quick" = 1 ]; then
  echo "quick run: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-rpc.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(lscpu | sed -n 's/^Model name: *//p' | head -1), load average $load"
  echo "when the timing started (the machine is shared). Medians of $rounds interleaved rounds."
  echo
  echo "$table"
  echo
  echo "Goals: a call within 2x of the ping-pong **$goal_call**, a transfer within 1.5x of socat **$goal_put**."
  echo
  echo "- Calls: $calls calls of an exported empty function (\`bench_rpc call\`), each a"
  echo "  93-byte request and a 6-byte reply, against \`bench_net rtt floor\`: 64 bytes each"
  echo "  way over bare POSIX sockets with TCP_NODELAY."
  echo "- Transfer: PUT of a $bytes-byte file to a file server in the same process (thread"
  echo "  start, connection and login included), written under a temporary name and renamed;"
  echo "  the floor is socat copying the same file from a file into a file over TCP."
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"

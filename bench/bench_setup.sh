# The set-up every benchmark driver shares, sourced after `set -euo pipefail`:
#
#   . "$(dirname "$0")/bench_setup.sh"
#   bench_setup "$@"            one argument, the build folder: sets build, repo
#                               and doc, and brings replace_doc_section
#   ours=$(bench_program NAME)  BUILD/bin/NAME, or a loud stop when it is missing
#   theirs=$(bench_tdbf NAME WORK)
#                               compiles bench/NAME.pas (with the shared TDbf
#                               unit of tests/oracles) into WORK/tdbf-build
#   bench_build_type            the build's CMAKE_BUILD_TYPE, empty when unknown
# A missing tool stops the run with a message and a non-zero exit.

bench_setup() {
  if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
  fi
  build=$(cd "$1" && pwd)
  repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  doc="$repo/docs/benchmarks.md"
  . "$repo/bench/doc_section.sh"
}

bench_program() {
  local program="$build/bin/$1"
  [ -x "$program" ] || { echo "missing: $program (build with -DKV_BENCH=ON)" >&2; exit 1; }
  echo "$program"
}

bench_tdbf() {
  local name=$1 out="$2/tdbf-build"
  command -v fpc >/dev/null || { echo "missing: fpc (fp-compiler, fp-units-db)" >&2; exit 1; }
  mkdir -p "$out"
  if ! fpc -v0 -FU"$out" -Fu"$repo/tests/oracles" -o"$out/$name" "$repo/bench/$name.pas" \
    >"$out/fpc.log" 2>&1; then
    cat "$out/fpc.log" >&2
    echo "$(basename "$0"): fpc could not build $name (is fp-units-db installed?)" >&2
    exit 1
  fi
  echo "$out/$name"
}

bench_build_type() {
  sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true
}

# Figures shared by the drivers that time commands themselves.
bench_seconds_of() {  # bench_seconds_of COMMAND...: wall seconds of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN{printf "%.4f", b - a}'
}
bench_median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }
bench_ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "-" }'; }
bench_mb_s() { awk -v s="$1" -v n="$2" 'BEGIN{printf "%.0f", n / s / 1e6}'; }  # SECONDS BYTES

# A Debian tool a driver compares with, or a loud stop naming its package.
bench_tool() {  # bench_tool COMMAND PACKAGE
  command -v "$1" >/dev/null || { echo "missing: $1 ($2; run scripts/install-deps.sh)" >&2; exit 1; }
}
bench_python_module() {  # bench_python_module MODULE PACKAGE
  /usr/bin/python3 -c "import $1" 2>/dev/null || { echo "missing: python module $1 ($2)" >&2; exit 1; }
}

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

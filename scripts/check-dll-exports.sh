#!/usr/bin/env bash
# Checks a DLL of the Windows build against the export list the Linux build
# checks (every function its public header declares with KV_API, under its
# plain name), plus the decorated names and ordinals its .def file gives the
# host, and checks that it imports no mingw runtime DLL.
#
#   check-dll-exports.sh <dll> <public header> [decorated name ...] [ordinal=name ...]
set -euo pipefail
dll=${1:?dll}
header=${2:?public header}
shift 2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$objdump" >/dev/null || { echo "$objdump is missing (bash scripts/install-deps.sh)"; exit 1; }

decorated=()
ordinals=()
for arg in "$@"; do
  if [[ "$arg" == *=* ]]; then ordinals+=("$arg"); else decorated+=("$arg"); fi
done

dump=$("$objdump" -p "$dll")
# "[   3] name" lines of the name pointer table.
names=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p')
[ -n "$names" ] || { echo "$dll exports nothing"; exit 1; }

declared=$(grep -oE 'KV_API[^;(]*KV_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*' "$header" |
           awk '{print $NF}' | sort -u)
expected=$( (echo "$declared"; for d in "${decorated[@]}"; do echo "$d"; done) | sort -u)
exported=$(echo "$names" | awk '{print $2}' | sort -u)

status=0
missing=$(comm -23 <(echo "$expected") <(echo "$exported"))
extra=$(comm -13 <(echo "$expected") <(echo "$exported"))
if [ -n "$missing" ]; then echo "expected but not exported:"; echo "$missing"; status=1; fi
if [ -n "$extra" ]; then echo "exported but not expected:"; echo "$extra"; status=1; fi

# Ordinals: the name table gives each name's index from the ordinal base.
base=$(echo "$dump" | sed -n 's/.*-- Ordinal Base \([0-9]*\).*/\1/p' | head -1)
for pair in "${ordinals[@]}"; do
  ordinal=${pair%%=*}
  name=${pair#*=}
  index=$(echo "$names" | awk -v n="$name" '$2 == n {print $1}')
  if [ -z "$index" ] || [ $((index + base)) -ne "$ordinal" ]; then
    echo "$name is not at ordinal $ordinal"; status=1
  fi
done

imports=$(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
runtime=$(echo "$imports" | grep -iE '^(libgcc|libstdc\+\+|libwinpthread|libssp|libatomic)' || true)
if [ -n "$runtime" ]; then echo "imports a mingw runtime DLL:"; echo "$runtime"; status=1; fi

[ "$status" -eq 0 ] &&
  echo "$(echo "$exported" | wc -l) exports of $(basename "$dll") match $(basename "$header");" \
       "imports: $(echo "$imports" | tr '\n' ' ')"
exit "$status"

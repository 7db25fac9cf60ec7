#!/usr/bin/env bash
# Checks that a DLL of the cross build exports each name at the ordinal the
# host binds it by, and nothing at any other ordinal:
#   scripts/check-dll-ordinals.sh DLL ORDINAL=NAME...
set -euo pipefail
dll=${1:?DLL}
shift
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$objdump" >/dev/null || { echo "check-dll-ordinals: $objdump missing" >&2; exit 1; }

dump=$("$objdump" -p "$dll")
base=$(echo "$dump" | sed -n 's/.*-- Ordinal Base \([0-9]*\).*/\1/p' | head -1)
[ -n "$base" ] || { echo "no export table in $dll"; exit 1; }
# "[ n] NAME": n is the name's index into the address table, from the base.
table=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
                             t && /^\t\[ *[0-9]+\] / {gsub(/[\[\]]/, ""); print $1, $2; next}
                             t {t = 0}')
# Ordinals with an address (empty slots have none).
filled=$(echo "$dump" | awk '/Export Address Table -- Ordinal Base/ {t = 1; next}
                              t && /\+base\[/ {sub(/.*\+base\[ */, ""); sub(/\].*/, ""); print; next}
                              t && /^$/ {t = 0}' | sort)

status=0
expected=""
for pair in "$@"; do
  ordinal=${pair%%=*}
  name=${pair#*=}
  expected+="$ordinal"$'\n'
  index=$(echo "$table" | awk -v n="$name" '$2 == n {print $1}')
  if [ -z "$index" ] || [ $((index + base)) -ne "$ordinal" ]; then
    echo "$name is not exported at ordinal $ordinal"; status=1
  fi
done
extra=$(comm -13 <(echo -n "$expected" | sort) <(echo "$filled"))
if [ -n "$extra" ]; then echo "ordinals filled beyond the list: $(echo $extra)"; status=1; fi
[ "$status" -eq 0 ] && echo "$# ordinals of $(basename "$dll") as listed"
exit "$status"

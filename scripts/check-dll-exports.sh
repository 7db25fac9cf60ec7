#!/usr/bin/env bash
# Checks a Windows DLL of the cross build:
#   scripts/check-dll-exports.sh DLL HEADER [EXTRA_NAME...]
# Its export table must list exactly the functions HEADER declares with
# KV_API (the list the Linux build's check-exports.sh uses), plus the
# EXTRA_NAMEs (decorated _NAME@N forms a host calls as well): nothing
# missing, nothing else. It must import only system DLLs: a mingw runtime
# DLL (libgcc, libstdc++, libwinpthread) would have to ship beside it.
set -euo pipefail
dll=${1:?DLL}
header=${2:?public header}
shift 2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$objdump" >/dev/null || { echo "check-dll-exports: $objdump missing" >&2; exit 1; }

dump=$("$objdump" -p "$dll")
expected=$( { bash "$(dirname "$0")/declared-exports.sh" "$header"; printf '%s\n' "$@"; } |
            sed '/^$/d' | sort -u)
# The names of the export table: the lines "[ n] NAME" after its heading.
exported=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
                               t && /^\t\[ *[0-9]+\] / {print $NF; next}
                               t {t = 0}' | sort -u)

status=0
missing=$(comm -23 <(echo "$expected") <(echo "$exported"))
extra=$(comm -13 <(echo "$expected") <(echo "$exported"))
if [ -n "$missing" ]; then echo "declared but not exported:"; echo "$missing"; status=1; fi
if [ -n "$extra" ]; then echo "exported but not declared:"; echo "$extra"; status=1; fi

system='^(kernel32|user32|gdi32|msvcrt|advapi32|comdlg32|winspool\.drv|shell32|ole32|oleaut32|ws2_32|wsock32|comctl32|msimg32)\.dll$'
imports=$(echo "$dump" | awk '/DLL Name:/ {print $3}')
for name in $imports; do
  lower=$(echo "$name" | tr 'A-Z' 'a-z')
  if ! [[ $lower =~ $system ]]; then echo "imports a DLL that is not the system's: $name"; status=1; fi
done
[ -n "$imports" ] || { echo "no import table found in $dll"; status=1; }

[ "$status" -eq 0 ] && echo "$(echo "$expected" | wc -l) exports match $header; imports: $(echo $imports)"
exit "$status"

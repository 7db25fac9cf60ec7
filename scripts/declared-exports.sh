#!/usr/bin/env bash
# Prints, sorted, the functions a public header declares with KV_API: the
# export list that both the Linux check (check-exports.sh) and the Windows
# one (check-dll-exports.sh) compare a library with.
set -euo pipefail
header=${1:?public header}
grep -oE 'KV_API[^;(]*KV_CALL[[:space:]]+[A-Za-z_][A-Za-z0-9_]*' "$header" | awk '{print $NF}' |
  sort -u

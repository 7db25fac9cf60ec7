#!/usr/bin/env bash
# Checks that a shared library exports exactly the functions its public
# header declares with KV_API: nothing missing, nothing else.
set -euo pipefail
library=${1:?shared library}
header=${2:?public header}

declared=$(bash "$(dirname "$0")/declared-exports.sh" "$header")
exported=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TW]$/ {print $3}' | sort -u)

missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
status=0
if [ -n "$missing" ]; then echo "declared but not exported:"; echo "$missing"; status=1; fi
if [ -n "$extra" ]; then echo "exported but not declared:"; echo "$extra"; status=1; fi
[ "$status" -eq 0 ] && echo "$(echo "$declared" | wc -l) exports match $header"
exit "$status"

#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the fuzzers, the
# benchmarks and the demo need. Idempotent: packages already present are
# not touched and nothing is printed for them.
#
# The packages are listed in scripts/packages/*.txt, one file per area
# (one package a line; '#' starts a comment), so that each library keeps
# its own list.
#
#   install-deps.sh            every list but the Windows target's
#   install-deps.sh --windows  the Windows target's lists (windows*.txt):
#                              the cross compiler and the 32-bit Wine
#
# The two are apart so that the Linux build and its tests do not hang on
# the i386 architecture and its package lists, which only Wine needs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

lists=()
case "${1:-}" in
  "")
    for list in "$here"/packages/*.txt; do
      case "$(basename "$list")" in windows*) ;; *) lists+=("$list") ;; esac
    done
    ;;
  --windows)
    # Wine is an i386 package.
    bash "$here/enable-i386.sh"
    lists=("$here"/packages/windows*.txt)
    ;;
  *)
    echo "usage: $0 [--windows]" >&2
    exit 2
    ;;
esac

packages=()
for list in "${lists[@]}"; do
  while read -r line; do
    line="${line%%#*}"
    for p in $line; do packages+=("$p"); done
  done <"$list"
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  # Waits for another apt or dpkg run (a second build on the machine)
  # instead of failing on its lock.
  lock=(-o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
  # A mirror caught in the middle of a sync serves index files that fail
  # their checksums; a later try gets a consistent set. Should one index
  # stay bad, the install goes on with the lists apt has, and if a package
  # cannot be had without the bad index, apt-stale-indexes.sh takes it
  # from the index the mirror does serve.
  update_log=$(mktemp)
  trap 'rm -f "$update_log"' EXIT
  for try in 1 2 3; do
    if $SUDO apt-get "${lock[@]}" update -qq 2>"$update_log"; then break; fi
    cat "$update_log" >&2
    if [ "$try" -eq 3 ]; then
      echo "$0: apt-get update failed three times; installing from the package lists apt has" >&2
      break
    fi
    echo "$0: apt-get update failed (try $try); trying again in $((try * 15)) s" >&2
    sleep $((try * 15))
  done
  if ! $SUDO apt-get "${lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    grep -q "Failed to fetch" "$update_log" || exit 1
    bash "$here/apt-stale-indexes.sh" "$update_log" "${missing[@]}"
  fi
fi

#!/usr/bin/env bash
# Installs packages when the mirror serves a package index that fails the
# checksum of its Release file (a mirror caught in the middle of a sync):
# apt then leaves that index out, and the packages only it lists cannot be
# installed (for the i386 architecture, a Multi-Arch library whose amd64
# twin came from that suite cannot be matched).
#
#   apt-stale-indexes.sh UPDATE-LOG PACKAGE...
#
# UPDATE-LOG is what `apt-get update` printed. For each index it names as
# failed, the index the mirror serves is fetched anyway and put in a local
# flat repository of its own, a temporary folder; apt resolves with it, and
# the .deb files it wants from there are fetched from the mirror's pool
# (the index's SHA256 sums check them). The system's configuration is not
# changed: the extra source is given on apt's command line only.
set -euo pipefail
log=$1
shift
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

failed=$(grep -o "Failed to fetch [^ ]*/dists/[^ ]*/Packages\.xz" "$log" | awk '{print $4}' | sort -u)
if [ -z "$failed" ]; then
  echo "$0: no failed package index in $log" >&2
  exit 1
fi

work=$(mktemp -d /tmp/kv-apt-XXXXXX)
trap '$SUDO rm -rf "$work"' EXIT
chmod 755 "$work"
sources="$work/sources.list"
: >"$sources"
declare -A baseOf
n=0
for url in $failed; do
  n=$((n + 1))
  repo="$work/repo$n"
  mkdir -p "$repo"
  curl -fsS -o "$repo/Packages.xz" "$url"
  xz -t "$repo/Packages.xz"
  xz -dc "$repo/Packages.xz" >"$repo/Packages"
  arch=$(basename "$(dirname "$url")")
  echo "deb [trusted=yes arch=${arch#binary-}] file:$repo ./" >>"$sources"
  baseOf[$repo]=${url%%/dists/*}
  echo "$0: using the index the mirror serves for $url (it fails its Release checksum)" >&2
done

apt=(apt-get -o Dir::Etc::SourceList="$sources" -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
$SUDO "${apt[@]}" update -qq 2>/dev/null || true
# The .deb files apt would take from the local repositories.
"${apt[@]}" install --print-uris -y -qq --no-install-recommends "$@" |
  grep -o "^'file:$work/repo[0-9]*/[^']*'" | tr -d "'" | sed 's|^file:||' |
  while read -r uri; do
    repo=$(echo "$uri" | grep -o "^$work/repo[0-9]*")
    file=${uri#"$repo"/}
    path=$(printf '%b' "${uri//%/\\x}")  # the URI's %2b and %7e decoded
    mkdir -p "$(dirname "$path")"
    curl -fsS -o "$path" "${baseOf[$repo]}/$file"
  done
$SUDO "${apt[@]}" install -y -qq --no-install-recommends "$@" >/dev/null
# apt's lists keep the local repositories no more.
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq 2>/dev/null || true

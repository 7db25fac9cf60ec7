#!/usr/bin/env bash
# Writes the NTX fixtures of tests/fixtures/ntx with libxbase64. Run by hand,
# once, as root, on Debian: libxbase64's NTX code only works in its 32-bit
# build, so this adds the i386 architecture and installs libxbase64's i386
# library and headers and a 32-bit compiler (none of which the normal build
# or CI needs: the files it writes are committed).
#
#   scripts/oracles/make_libxbase64_ntx.sh [OUTDIR]
#
# For a character, a numeric and a date field it writes TABLE.dbf and
# TABLE.ntx (60 records: enough for one page split; libxbase64's larger NTX
# files come out damaged), TABLE.xbase64-walk (libxbase64's own walk of its
# index, which misses a key after a split) and TABLE.dbd-walk (Perl
# DBD-XBase's walk, the one the tests trust), each line "hex(key)<TAB>record".
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$repo/tests/fixtures/ntx}
records=60

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y libxbase64-1:i386 libxbase64-dev:i386 \
  g++-multilib libdbd-xbase-perl

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -m32 -std=c++17 -O1 -w "$repo/tests/oracles/xbase64_ntx.cpp" -o "$work/xbase64_ntx" -lxbase64
mkdir -p "$out"
rm -f "$out"/*.dbf "$out"/*.ntx "$out"/*-walk
(cd "$work" && ./xbase64_ntx "$out" "$records")

dbd_walk() {  # dbd_walk FILE TYPE
  /usr/bin/perl -e '
    use XBase::Index;
    my $i = XBase::Index->new($ARGV[0], type => $ARGV[1]) or die XBase::Index->errstr;
    $i->prepare_select;
    while (my ($k, $v) = $i->fetch) { printf("%s\t%d\n", unpack("H*", $k), $v); }
  ' "$1" "$2"
}
for table in names amounts dates; do
  mv "$out/$table.walk" "$out/$table.xbase64-walk"
  # Read as character keys: the hex of the key bytes as stored.
  dbd_walk "$out/$table.ntx" C >"$out/$table.dbd-walk"
  lines=$(wc -l <"$out/$table.dbd-walk")
  [ "$lines" -eq "$records" ] || { echo "DBD-XBase walked $lines keys of $table" >&2; exit 1; }
done
{
  echo "package: $(dpkg-query -W -f '${Package}:${Architecture} ${Version}' libxbase64-1:i386)"
  echo "compiler: $(g++ --version | head -n1) (-m32)"
  echo "reader: $(dpkg-query -W -f '${Package} ${Version}' libdbd-xbase-perl)"
  echo "command: scripts/oracles/make_libxbase64_ntx.sh (xbase64_ntx OUTDIR $records)"
  echo "date: $(date -u '+%Y-%m-%d')"
} >"$out/provenance.txt"
echo "written: $out"

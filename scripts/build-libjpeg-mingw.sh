#!/usr/bin/env bash
# Builds libjpeg-turbo for 32-bit Windows (mingw-w64, static, SIMD through
# NASM) from Debian's own source package, the same release as the Linux
# build's libjpeg62-turbo, so that both targets encode JPEG with the same
# code and write the same bytes.
#
#   scripts/build-libjpeg-mingw.sh <prefix>
#
# The result (<prefix>/include, <prefix>/lib/libjpeg.a) is kept: a second run
# with a complete prefix does nothing, so CI rebuilds it only when the
# build folder is new. The source comes through a private apt configuration
# in a temporary directory (a deb-src entry of its own); the system's
# sources are never touched.
set -euo pipefail

prefix="${1:?usage: build-libjpeg-mingw.sh <prefix>}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
if [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ]; then
  exit 0
fi

for tool in i686-w64-mingw32-gcc-posix nasm dpkg-source; do
  command -v "$tool" >/dev/null || {
    echo "build-libjpeg-mingw.sh: $tool is missing (bash scripts/install-deps.sh --windows)" >&2
    exit 1
  }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The release the Linux build links (its source package version).
version="$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo-dev)"
suite="$(. /etc/os-release && echo "$VERSION_CODENAME")"

mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
cat >"$work/apt/sources.list" <<EOF
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security $suite-security main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite-updates main
EOF
apt_private=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
  -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache"
  -o "Debug::NoLocking=1")
apt-get "${apt_private[@]}" update -qq
(cd "$work" && apt-get "${apt_private[@]}" source -qq --download-only "libjpeg-turbo=$version")
dpkg-source --no-check -x "$work"/libjpeg-turbo_*.dsc "$work/src" >/dev/null

cmake -S "$work/src" -B "$work/build" -G Ninja \
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=X86 \
  -DCMAKE_C_COMPILER=i686-w64-mingw32-gcc-posix -DCMAKE_RC_COMPILER=i686-w64-mingw32-windres \
  -DCMAKE_ASM_NASM_COMPILER=nasm \
  -DCMAKE_BUILD_TYPE=Release -Wno-dev -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON >/dev/null
cmake --build "$work/build" -j "${JOBS:-2}" --target jpeg-static >/dev/null
install -d "$prefix/lib" "$prefix/include"
cp "$work/build/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$work/build/jconfig.h" "$work/src/jpeglib.h" "$work/src/jmorecfg.h" "$work/src/jerror.h" \
  "$prefix/include/"
echo "$version" >"$prefix/VERSION"

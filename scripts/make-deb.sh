#!/usr/bin/env bash
# Builds the Debian package kv_VERSION_ARCH.deb and checks it with lintian.
#
# The tree is configured on its own (BUILD_DIR) with the prefix /usr, so
# that the libraries land in the multiarch folder, and with Debian's build
# flags (hardening, fortified functions, relro), as a Debian package is
# built. CPack's DEB generator strips the binaries and asks dpkg-shlibdeps
# for the runtime dependencies. lintian must find no error, and no warning
# other than those docs/decisions.md explains.
#
# usage: scripts/make-deb.sh BUILD_DIR [JOBS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:?usage: make-deb.sh BUILD_DIR [JOBS]}"
jobs="${2:-2}"

for tool in dpkg-buildflags dpkg-shlibdeps dpkg-architecture lintian cpack readelf; do
  command -v "$tool" >/dev/null || { echo "make-deb: $tool is missing (bash scripts/install-deps.sh)" >&2; exit 1; }
done

CFLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CFLAGS CXXFLAGS LDFLAGS

cmake -S "$here" -B "$build" -G Ninja -DKV_WERROR=ON -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_INSTALL_PREFIX=/usr -DKV_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs"
rm -f "$build"/deb/kv_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=("$build"/deb/kv_*.deb)
[ -f "${deb[0]}" ] || { echo "make-deb: cpack wrote no package" >&2; exit 1; }
echo "package: ${deb[0]}"
dpkg-deb --field "${deb[0]}" Package Version Architecture Depends
dpkg-deb --field "${deb[0]}" Depends | grep -q 'libc6' ||
  { echo "make-deb: no runtime dependencies declared" >&2; exit 1; }

# The unpacked package works: kvhost loads its libraries from the package's
# folders and runs the demo on the samples installed beside it.
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "${deb[0]}" "$root"
LD_LIBRARY_PATH="$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)" \
  "$root/usr/bin/kvhost" demo >"$root/demo.txt" 2>&1 ||
  { cat "$root/demo.txt"; echo "make-deb: the packaged kvhost demo failed" >&2; exit 1; }
grep -q "file  *$root/usr/share/kv/samples/customers.dbf" "$root/demo.txt" ||
  { echo "make-deb: the packaged kvhost did not read the packaged samples" >&2; exit 1; }
# The GTK backend is in the package beside the platform layer, which loads
# it from there on first use and must not link GTK itself (every program
# would pay GTK's start-up).
libdir="$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
[ -f "$libdir/libkvplatform_gtk.so.1" ] ||
  { echo "make-deb: the package has no libkvplatform_gtk.so.1" >&2; exit 1; }
if readelf -d "$libdir/libkvplatform.so.1" | grep -q 'NEEDED.*libgtk'; then
  echo "make-deb: the packaged libkvplatform.so.1 links GTK" >&2; exit 1
fi
# Errors fail; so does a warning that docs/decisions.md does not explain.
explained="link-to-shared-library-in-wrong-package package-name-doesnt-match-sonames"
report="$(lintian --fail-on error "${deb[0]}")" || { echo "$report"; echo "make-deb: lintian found errors" >&2; exit 1; }
echo "$report"
for tag in $(echo "$report" | sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' | sort -u); do
  case " $explained " in
    *" $tag "*) ;;
    *) echo "make-deb: lintian warning $tag is not explained in docs/decisions.md" >&2; exit 1 ;;
  esac
done

#!/usr/bin/env bash
# Runs the CTest suite of a Windows build tree under Wine, headless:
#   scripts/run-wine-tests.sh BUILD_DIR [ctest options...]
# A fresh 32-bit Wine prefix in a temporary directory, Wine's null graphics
# driver (no display needed; nothing may open a real window), no debug
# channels, and one wineserver kept alive for the whole run so that test
# programs do not each start and stop their own. The server is killed and
# the prefix removed at the end, also on failure or interruption.
set -euo pipefail
build=${1:?Windows build directory}
shift

for tool in wine wineserver wineboot; do
  command -v "$tool" >/dev/null || { echo "run-wine-tests: $tool missing (bash scripts/install-deps.sh --windows)" >&2; exit 1; }
done

# Wine runs the 32-bit DLLs in 32-bit x86 Linux processes. Some virtual
# machines run 64-bit programs only: their kernel refuses every 32-bit
# program with "Exec format error", Wine's own server first, and no test of
# the Windows tree can run there. That is said loudly, with the evidence,
# and the run ends there: the tree was still cross-built with warnings as
# errors. KV_REQUIRE_WINE=1 makes it a failure instead. Any other problem
# (the 32-bit loader missing, Wine failing) fails as before.
loader32=/lib/ld-linux.so.2
[ -f "$loader32" ] || { echo "run-wine-tests: $loader32 missing (bash scripts/install-deps.sh --windows)" >&2; exit 1; }
set +e
refusal=$("$loader32" --version 2>&1 >/dev/null)
loader_status=$?
set -e
if [ "$loader_status" -eq 126 ] && [ "$(head -c 5 "$loader32" | od -An -tx1 | tr -d ' \n')" = 7f454c4601 ]; then
  {
    echo "run-wine-tests: NOT RUN: this kernel ($(uname -srm)) cannot execute 32-bit x86 programs:"
    echo "run-wine-tests:   $loader32 --version: ${refusal:-exit status 126}"
    echo "run-wine-tests: the Windows tests in $build need 32-bit Wine; run them on a machine that runs 32-bit programs"
  } >&2
  [ "${KV_REQUIRE_WINE:-0}" = 1 ] && exit 1
  exit 0
fi

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kv-wine-XXXXXX")
export WINEPREFIX
export WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko installers: the tests need neither, and they would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The null driver is in the user's registry before the prefix is made, so
# that the desktop process wineboot starts has it from the first: set after
# wineboot, a program started while the desktop was still coming up found
# no driver and could not make a window. The user's key is the fixed one
# Wine gives every user.
cat >"$WINEPREFIX/user.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\User\\S-1-5-21-0-0-0-1000

[Software\\Wine\\Drivers]
"Graphics"="null"
REG
# Persistent until killed: every test program of the run talks to this one.
wineserver -p
wineboot -i >/dev/null 2>&1
wine reg query 'HKCU\Software\Wine\Drivers' /v Graphics 2>/dev/null | grep -q null || {
  echo "run-wine-tests: the prefix did not keep the null graphics driver" >&2
  exit 1
}
# A short temporary folder, the root of a drive of its own (T:\), instead
# of the prefix's C:\users\NAME\AppData\Local\Temp: the engine's log names
# must fit 29 characters, and the tests make theirs in a folder of the
# temporary one.
mkdir "$WINEPREFIX/temp"
ln -s ../temp "$WINEPREFIX/dosdevices/t:"
for name in TEMP TMP; do
  wine reg add 'HKCU\Environment' /v "$name" /d 'T:\' /f >/dev/null 2>&1
done

ctest --test-dir "$build" --output-on-failure "$@"

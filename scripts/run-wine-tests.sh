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

#!/usr/bin/env bash
# Windows build: vok32.dll and QVRCore.dll cross-built with mingw-w64 and
# warnings as errors, then the test suite and the checks of the binaries run
# under Wine.  Headless (console programs need no display), fine as root, and
# always in a fresh Wine prefix inside the build tree -- the same one the
# toolchain file hands CTest.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=build/mingw
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

start=$SECONDS
cmake --preset mingw
cmake --build --preset mingw
echo "--- windows: built in $((SECONDS - start)) s"

# A prefix takes a few seconds to create, and every Wine session starts its
# own background services; do both once, before the tests, and keep one
# session up for all of them.  The services keep the standard streams of the
# program that started them open, which would hold CTest's pipes: they get a
# log file instead.
start=$SECONDS
rm -rf "$WINEPREFIX"
session_log="$build/wine-session.log"
wine wineboot --init >"$session_log" 2>&1 </dev/null || {
  cat "$session_log"
  exit 1
}
wineserver --wait
wineserver --persistent
trap 'wineserver --kill' EXIT
wine wineboot >>"$session_log" 2>&1 </dev/null
echo "--- windows: Wine prefix ready in $((SECONDS - start)) s"

start=$SECONDS
ctest --preset mingw --parallel "$(nproc)"
echo "--- windows: tests ran in $((SECONDS - start)) s"

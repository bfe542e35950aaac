#!/usr/bin/env bash
# Windows build, twice: the DLLs on the Universal CRT (the default, as
# programs of Microsoft's toolchain use it) and on msvcrt.dll.  Each is
# cross-built with mingw-w64 and warnings as errors; then the test suite, the
# checks of the binaries and the release zip run under Wine.  Headless
# (console programs need no display), fine as root, and always in a fresh
# Wine prefix inside the build tree -- the same one the toolchain file hands
# CTest.
set -euo pipefail
cd "$(dirname "$0")/../.."
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# A prefix takes a few seconds to create, and every Wine session starts its
# own background services; do both once, before the tests, and keep one
# session up for all of them.  The services keep the standard streams of the
# program that started them open, which would hold CTest's pipes: they get a
# log file instead.
start_wine() {
  local build=$1 session_log=$1/wine-session.log
  rm -rf "$WINEPREFIX"
  wine wineboot --init >"$session_log" 2>&1 </dev/null || {
    cat "$session_log"
    exit 1
  }
  wineserver --wait
  wineserver --persistent
  wine wineboot >>"$session_log" 2>&1 </dev/null
}

run_preset() {
  local preset=$1 build=build/$1 start=$SECONDS
  export WINEPREFIX="$PWD/$build/wineprefix"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  echo "--- $preset: built in $((SECONDS - start)) s"

  start=$SECONDS
  start_wine "$build"
  trap 'wineserver --kill' EXIT
  echo "--- $preset: Wine prefix ready in $((SECONDS - start)) s"

  start=$SECONDS
  ctest --preset "$preset" --parallel "$(nproc)"
  wineserver --kill
  trap - EXIT
  echo "--- $preset: tests ran in $((SECONDS - start)) s"
}

run_preset mingw
run_preset mingw-msvcrt

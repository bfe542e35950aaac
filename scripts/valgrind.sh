#!/usr/bin/env bash
# Valgrind memcheck over the test suite of a plain debug build.  Programs
# that substitute the allocator or run the exhaustive walk are left out: the
# first because it wraps malloc itself, the second because under valgrind it
# takes many minutes and the guard-page walk already covers out-of-bounds reads.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/valgrind
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build "$build" -j2
ctest --test-dir "$build" -j2 --output-on-failure \
  -E '^(Exhaustive|AllocationFailure)\.' \
  --overwrite MemoryCheckCommandOptions="--leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --track-origins=yes" \
  -T memcheck

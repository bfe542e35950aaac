#!/usr/bin/env bash
# Line and branch coverage of src/ by the test suite (gcc --coverage, gcovr).
# Writes build/coverage/coverage.html and prints the summary.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset coverage
cmake --build --preset coverage -j2
find build/coverage -name '*.gcda' -delete
ctest --preset coverage -j2
gcovr --root . --filter 'src/' --exclude 'src/platform/' \
  --object-directory build/coverage \
  --exclude-unreachable-branches --exclude-throw-branches \
  --print-summary \
  --html-details build/coverage/coverage.html

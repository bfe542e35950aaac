#!/usr/bin/env bash
# Linux build with warnings as errors, the example, and the test suite.
set -euo pipefail
cmake --preset ci
cmake --build --preset ci
./build/ci/examples/vok_example
ctest --preset ci

#!/usr/bin/env bash
# Linux build with warnings as errors, the example, the test suite, and the
# source layout as clang-format wants it.
set -euo pipefail
cd "$(dirname "$0")/../.."

git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp' | xargs clang-format --dry-run --Werror
cmake --preset ci
cmake --build --preset ci
./build/ci/examples/vok_example
./build/ci/examples/vok_frames_example
ctest --preset ci

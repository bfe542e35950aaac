#!/usr/bin/env bash
# The JavaScript package and the inspector page: the WebAssembly module
# (emscripten), the TypeScript declarations checked by tsc, the Node suite
# against a native build of the tool, and the page in headless Chromium,
# which leaves a screenshot at build/web/inspector.png.
set -euo pipefail
cd "$(dirname "$0")/../.."

export NODE_PATH=/usr/share/nodejs # Debian's emcc finds its Node modules there
cmake --preset wasm
cmake --build --preset wasm
# The tool the listing is compared with, natively.
cmake -S . -B build/web-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOK_WERROR=ON \
  -DVOK_BUILD_TESTS=OFF -DVOK_BUILD_PYTHON=OFF
cmake --build build/web-native --target vok

cd js
npm ci --no-audit --no-fund
npx tsc -p .
log=$(mktemp)
trap 'rm -f "$log"' EXIT
VOK_TOOL=$PWD/../build/web-native/tools/vok/vok node --test test/*.test.js | tee "$log"
passed=$(awk '/^# pass/ { print $3 }' "$log")
node browser/inspector.check.mjs ../build/web/inspector.png
echo "node: 100% tests passed, 0 tests failed out of $((passed + 1))"

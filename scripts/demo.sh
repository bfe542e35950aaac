#!/usr/bin/env bash
# Builds the release preset, runs the example program, then packs a stream
# from its text form and dumps it back.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vok_example vok

echo "--- examples/record_roundtrip.c"
build/release/examples/vok_example

vok=build/release/tools/vok/vok
if [ -x "$vok" ]; then
  echo "--- vok pack examples/order.vok | vok dump -"
  "$vok" pack examples/order.vok | "$vok" dump -
fi

#!/bin/sh
# The JavaScript package's rates (bench/js_rates.mjs) on 300,000 telemetry
# readings: builds the release tool and libraries, the wasm module and the
# native walk, makes the file, and prints the figures as JSON.
# Usage: bench/js_rates.sh [READINGS]
set -eu
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset release >/dev/null
cmake --build --preset release --target vok vok32x >/dev/null
NODE_PATH=/usr/share/nodejs cmake --preset wasm >/dev/null
NODE_PATH=/usr/share/nodejs cmake --build --preset wasm >/dev/null
lib=$PWD/build/release/src
cc -O2 -Iinclude -Ibuild/release/include bench/walk_rate.c -L"$lib" -L"$lib/vok32x" \
  -lvok32x -lvok32 -Wl,-rpath,"$lib:$lib/vok32x" -o "$work/walk_rate"

vok=build/release/tools/vok/vok
schema=bench/typed/telemetry.schema.json
python3 bench/typed/telemetry.py --count "${1:-300000}" > "$work/readings.jsonl"
"$vok" pack --schema "$schema" --json "$work/readings.jsonl" -o "$work/readings.bin"
"$vok" dump --schema "$schema" --json "$work/readings.bin" > "$work/readings.dump.jsonl"
node bench/js_rates.mjs "$work/readings.bin" "$schema" "$work/readings.dump.jsonl" "$work/walk_rate"

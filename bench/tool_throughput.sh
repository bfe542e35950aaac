#!/bin/sh
# Throughput of `vok dump` and `vok check` on a stream of about 100 MB, and
# of `vok pack` building it; then the same by schema, on telemetry readings.  Usage: bench/tool_throughput.sh [path/to/vok]
set -eu
vok=${1:-build/release/tools/vok/vok}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A mix of every item kind, about 100 MB once packed.
awk 'BEGIN {
  print "stream type 1 version 1"
  s = "a fairly ordinary string of text, forty-odd bytes"
  for (i = 0; i < 1450000; i++) {
    print "phrase " (i % 256)
    print "mark " (i % 200)
    printf "u %.0f\n", (i * 7919) % 4294967296
    print "s -" (i % 70000)
    print "flag true"
    print "str \"" s "\""
    print "utf8 \"Grüße " i "\""
  }
}' > "$work/big.vok"

seconds() { date +%s.%N; }
measure() { # label, bytes, command...
  label=$1 bytes=$2; shift 2
  start=$(seconds); "$@" > /dev/null; end=$(seconds)
  awk -v l="$label" -v b="$bytes" -v s="$start" -v e="$end" \
    'BEGIN { t = e - s; printf "%-12s %8.2f s  %8.1f MB/s\n", l, t, b / t / 1e6 }'
}

text_bytes=$(wc -c < "$work/big.vok")
measure "pack" "$text_bytes" "$vok" pack "$work/big.vok" -o "$work/big.bin"
bytes=$(wc -c < "$work/big.bin")
echo "stream: $bytes bytes"
measure "check" "$bytes" "$vok" check "$work/big.bin"
measure "dump" "$bytes" "$vok" dump "$work/big.bin"
measure "dump --json" "$bytes" "$vok" dump --json "$work/big.bin"
/usr/bin/time -f "dump peak RSS: %M KiB" "$vok" dump "$work/big.bin" > /dev/null

# Records by schema: 100,000 telemetry readings (bench/typed/telemetry.py).
here=$(dirname "$0")
schema=$here/typed/telemetry.schema.json
python3 "$here/typed/telemetry.py" --count 100000 > "$work/readings.jsonl"
json_bytes=$(wc -c < "$work/readings.jsonl")
measure "pack --schema" "$json_bytes" "$vok" pack --schema "$schema" --json "$work/readings.jsonl" \
  -o "$work/readings.bin"
bytes=$(wc -c < "$work/readings.bin")
echo "readings: $bytes bytes"
measure "check --schema" "$bytes" "$vok" check --schema "$schema" "$work/readings.bin"
measure "dump --schema" "$bytes" "$vok" dump --schema "$schema" --json "$work/readings.bin"

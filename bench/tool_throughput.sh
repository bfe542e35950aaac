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
# One block of about 100 MB: above the 16 MiB a block may have by default.
measure "check" "$bytes" "$vok" check --max-block 4GiB "$work/big.bin"
measure "dump" "$bytes" "$vok" dump --max-block 4GiB "$work/big.bin"
measure "dump --json" "$bytes" "$vok" dump --max-block 4GiB --json "$work/big.bin"
/usr/bin/time -f "dump peak RSS: %M KiB" "$vok" dump --max-block 4GiB "$work/big.bin" > /dev/null

# Records by schema: 300,000 telemetry readings (bench/typed/telemetry.py;
# READINGS sets the count), then the ratios the tool is held to, against
# xxd reading the same binary file.
here=$(dirname "$0")
schema=$here/typed/telemetry.schema.json
python3 "$here/typed/telemetry.py" --count "${READINGS:-300000}" > "$work/readings.jsonl"
json_bytes=$(wc -c < "$work/readings.jsonl")
measure "pack --schema" "$json_bytes" "$vok" pack --schema "$schema" --json "$work/readings.jsonl" \
  -o "$work/readings.bin"
bytes=$(wc -c < "$work/readings.bin")
echo "readings: $bytes bytes"
# Each run's seconds, kept for the ratios below.
timed() { # name, command...
  name=$1; shift
  start=$(seconds); "$@" > /dev/null; end=$(seconds)
  eval "t_$name=\$(awk -v s=$start -v e=$end 'BEGIN { print e - s }')"
}
# The best of three of each, interleaved, so that a slow moment of the
# machine does not fall on one command only.
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b) ? a : b }'; }
for round in 1 2 3; do
  timed xxd xxd "$work/readings.bin"
  timed check "$vok" check "$work/readings.bin"
  timed check_schema "$vok" check --schema "$schema" "$work/readings.bin"
  timed dump_json "$vok" dump --json "$work/readings.bin"
  timed dump_schema "$vok" dump --schema "$schema" --json "$work/readings.bin"
  timed pack_schema "$vok" pack --schema "$schema" --json "$work/readings.jsonl" -o "$work/again.bin"
  for name in xxd check check_schema dump_json dump_schema pack_schema; do
    eval "now=\$t_$name; was=\${b_$name:-}"
    eval "b_$name=\$(if [ -z \"\$was\" ]; then echo \$now; else best \$now \$was; fi)"
  done
done
cmp "$work/readings.bin" "$work/again.bin"
ratio() { awk -v a="$2" -v b="$3" -v l="$1" -v t="$4" \
  'BEGIN { printf "%-36s %6.2f  (target <= %s)\n", l, a / b, t }'; }
echo "telemetry, best of three: xxd $b_xxd s, check $b_check s, check --schema $b_check_schema s,"
echo "  dump --json $b_dump_json s, dump --schema --json $b_dump_schema s, pack --schema --json $b_pack_schema s"
ratio "check --schema / check" "$b_check_schema" "$b_check" 1.5
ratio "dump --schema --json / dump --json" "$b_dump_schema" "$b_dump_json" 1.5
ratio "dump --json / xxd" "$b_dump_json" "$b_xxd" 2
ratio "dump --schema --json / xxd" "$b_dump_schema" "$b_xxd" 2
ratio "pack --schema --json / xxd" "$b_pack_schema" "$b_xxd" 2

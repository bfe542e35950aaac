#!/usr/bin/env bash
# Runs the record round trip (a C program linked against the import library)
# and checks that it succeeds, prints the 13-byte block of "user mark 1,
# unsigned 300" (type 7, version 3) and reads the values back.
# usage: check_record.sh [EMULATOR...] PROGRAM
set -euo pipefail
expected=(
  'handle   00 00 00 0D C8 07 D2 03 01 D4 01 2C C9  (13 bytes)'
  'read     user mark 1, unsigned 300, then the end'
)

# The C runtime writes CR LF line ends.
output=$("$@" | tr -d '\r') || {
  printf 'the program failed:\n%s\n' "$output"
  exit 1
}
echo "$output"
for line in "${expected[@]}"; do
  grep -qxF -- "$line" <<<"$output" || {
    echo "missing: $line"
    exit 1
  }
done

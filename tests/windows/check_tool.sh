#!/usr/bin/env bash
# vok.exe under Wine: packs the example notation, checks the block, and gives
# the same bytes back through dump and pack, binary standard streams and
# paths included.
# usage: check_tool.sh WORK NOTATION [EMULATOR...] VOK_EXE
set -euo pipefail
work=$1 notation=$2
shift 2
rm -rf "$work"
mkdir -p "$work"
"$@" pack "$notation" -o "$work/order.bin"
"$@" check "$work/order.bin" | tr -d '\r' | grep -q '^ok: '
"$@" dump "$work/order.bin" | "$@" pack >"$work/again.bin"
cmp "$work/order.bin" "$work/again.bin"
echo "vok.exe packs, checks, dumps and packs back $(wc -c <"$work/order.bin") bytes"

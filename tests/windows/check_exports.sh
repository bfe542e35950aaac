#!/usr/bin/env bash
# The DLL exports by name exactly the functions the public header declares
# (COUNT of them, each marked with the header's API macro), and nothing else,
# not even by ordinal.
# usage: check_exports.sh OBJDUMP DLL HEADER [COUNT [MACRO]]   (47, VOK_API)
set -euo pipefail
OBJDUMP=$1 dll=$2 header=$3 expected=${4:-47} macro=${5:-VOK_API}
source "$(dirname "$0")/pe_tables.sh"

declared=$(grep -oE "^$macro [^(]*\bvok[A-Za-z0-9]+\(" "$header" | grep -oE 'vok[A-Za-z0-9]+\($' |
  tr -d '(' | sort)
exported=$(pe_exports "$dll" | sort)
count=$(wc -l <<<"$declared")

status=0
if [ "$count" -ne "$expected" ]; then
  echo "the header declares $count functions, not $expected"
  status=1
fi
if [ "$declared" != "$exported" ]; then
  echo "exports differ from the header (< declared only, > exported only):"
  diff <(echo "$declared") <(echo "$exported") | grep '^[<>]' || true
  status=1
fi
if [ "$(pe_export_count "$dll")" -ne "$count" ]; then
  echo "the export address table has $(pe_export_count "$dll") entries for $count names"
  status=1
fi
((status)) || echo "$(basename "$dll") exports the $count declared functions and nothing else"
exit $status

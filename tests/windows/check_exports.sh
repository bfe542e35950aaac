#!/usr/bin/env bash
# The DLL exports by name exactly the functions the public header declares
# (47 of them), and nothing else, not even by ordinal.
# usage: check_exports.sh OBJDUMP DLL HEADER
set -euo pipefail
OBJDUMP=$1 dll=$2 header=$3
source "$(dirname "$0")/pe_tables.sh"

declared=$(grep -oE '^VOK_API [^(]*\bvok[A-Za-z0-9]+\(' "$header" | grep -oE 'vok[A-Za-z0-9]+\($' |
  tr -d '(' | sort)
exported=$(pe_exports "$dll" | sort)
count=$(wc -l <<<"$declared")

status=0
if [ "$count" -ne 47 ]; then
  echo "the header declares $count functions, not 47"
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

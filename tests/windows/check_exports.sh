#!/usr/bin/env bash
# The DLL exports by name exactly the functions its .def file lists, which
# are exactly those its public header declares with the API macro, all named
# with the prefix, and nothing else, not even by ordinal.  COUNT, when given,
# pins their number.
# usage: check_exports.sh OBJDUMP DLL DEF HEADER API_MACRO PREFIX [COUNT]
set -euo pipefail
OBJDUMP=$1 dll=$2 def=$3 header=$4 macro=$5 prefix=$6 expected_count=${7:-}
source "$(dirname "$0")/pe_tables.sh"

declared=$(grep -oE "^$macro [^(]*\b[A-Za-z_][A-Za-z0-9_]*\(" "$header" |
  grep -oE '[A-Za-z_][A-Za-z0-9_]*\($' | tr -d '(' | sort)
listed=$(sed -n '/^EXPORTS/,$p' "$def" | awk 'NR > 1 && $1 !~ /^;/ && NF { print $1 }' | sort)
exported=$(pe_exports "$dll" | sort)
count=$(wc -l <<<"$declared")

status=0
differ() { # differ WHAT LEFT RIGHT
  [ "$2" = "$3" ] && return 0
  echo "$1 (< first only, > second only):"
  diff <(echo "$2") <(echo "$3") | grep '^[<>]' || true
  status=1
}
if [ -n "$expected_count" ] && [ "$count" -ne "$expected_count" ]; then
  echo "$(basename "$header") declares $count functions, not $expected_count"
  status=1
fi
if grep -v "^$prefix" <<<"$declared"; then
  echo "^ named without the prefix $prefix"
  status=1
fi
differ "$(basename "$def") differs from $(basename "$header")" "$declared" "$listed"
differ "exports differ from $(basename "$header")" "$declared" "$exported"
if [ "$(pe_export_count "$dll")" -ne "$count" ]; then
  echo "the export address table has $(pe_export_count "$dll") entries for $count names"
  status=1
fi
((status)) || echo "$(basename "$dll") exports the $count declared functions and nothing else"
exit $status

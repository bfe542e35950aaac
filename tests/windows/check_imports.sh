#!/usr/bin/env bash
# The DLL imports only from the DLLs listed; a compiler runtime DLL
# (libstdc++, libgcc_s, libwinpthread) or any other DLL fails the check.
#   NAME.dll            may be imported from (a pattern: api-ms-win-crt-*.dll)
#   NAME.dll=f1,f2      must be imported from, for exactly these functions
#   NAME.dll+f1,f2      must be imported from, for at least these functions
# usage: check_imports.sh OBJDUMP DLL SPEC...
set -euo pipefail
OBJDUMP=$1 dll=$2
shift 2
source "$(dirname "$0")/pe_tables.sh"

imports=$(pe_imports "$dll")
functions_of() { awk -v d="$1" 'NF == 2 && tolower($1) == tolower(d) { print $2 }' <<<"$imports" | sort; }
listed() { tr ',' '\n' <<<"$1" | sort; }

status=0
allowed=()
for spec in "$@"; do
  name=${spec%%[=+]*}
  allowed+=("$(tr '[:upper:]' '[:lower:]' <<<"$name")")
  [ "$name" = "$spec" ] && continue
  wanted=$(listed "${spec#*[=+]}")
  found=$(functions_of "$name")
  if [[ $spec == *=* ]] && [ "$found" != "$wanted" ]; then
    echo "$name: imports [$(echo $found)], expected exactly [$(echo $wanted)]"
    status=1
  elif [[ $spec == *+* ]] && [ -n "$(comm -23 <(echo "$wanted") <(echo "$found"))" ]; then
    echo "$name: missing imports [$(comm -23 <(echo "$wanted") <(echo "$found") | xargs)]"
    status=1
  fi
done

is_allowed() {
  local pattern
  for pattern in "${allowed[@]}"; do
    # shellcheck disable=SC2053 # the right side is a pattern on purpose
    [[ $1 == $pattern ]] && return 0
  done
  return 1
}
while read -r name; do
  if ! is_allowed "$(tr '[:upper:]' '[:lower:]' <<<"$name")"; then
    echo "unexpected import of $name ($(functions_of "$name" | xargs))"
    status=1
  fi
done < <(awk 'NF == 1' <<<"$imports")

((status)) || echo "$(basename "$dll") imports from: $(awk 'NF == 1' <<<"$imports" | xargs)"
exit $status

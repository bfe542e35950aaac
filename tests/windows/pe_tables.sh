# Reading the tables of a PE image from `objdump -p`; sourced by the checks.
# OBJDUMP must name the cross toolchain's objdump.  Every reader consumes the
# whole output, so that objdump never dies of a closed pipe under pipefail.

# Names in the export table, one a line.
pe_exports() {
  "$OBJDUMP" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p'
}

# Entries of the export address table, named or not, in decimal.
pe_export_count() {
  local hex
  hex=$("$OBJDUMP" -p "$1" | awk '/^\tExport Address Table/ && !seen { seen = 1; print $NF }')
  echo $((16#${hex:-0}))
}

# Imports as "DLL function" lines.
pe_imports() {
  "$OBJDUMP" -p "$1" | awk '
    /^The Export Tables/ { done = 1 }
    done { next }
    /DLL Name:/ { dll = $3; print dll; next }
    dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll, $3 }'
}

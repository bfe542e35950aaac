#!/usr/bin/env bash
# Builds msvc_client.c as a program of Microsoft's toolchain would be built
# (clang for the MSVC ABI, lld-link, nothing but the COFF import libraries
# vok32.lib, vok32x.lib and QVRCore.lib) and runs it beside the DLLs.  Every
# public C header must also compile for that target on its own, without a
# warning.
# usage: msvc_client.sh CLANG LLD_LINK DLLTOOL WORK INCLUDE_DIRS LIB_DIR BIN_DIR [EMULATOR...]
#   INCLUDE_DIRS is a colon-separated list.
set -euo pipefail
clang=$1 lld_link=$2 dlltool=$3 work=$4 include_dirs=$5 lib_dir=$6 bin_dir=$7
shift 7
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work"
flags=(--target=x86_64-pc-windows-msvc -ffreestanding -O2 -Wall -Wextra -Wpedantic -Werror)
IFS=: read -ra dirs <<<"$include_dirs"
for dir in "${dirs[@]}"; do
  flags+=(-I "$dir")
done

for dir in "${dirs[@]}"; do
  for header in "$dir"/*.h; do
    # A header of macros alone is not a translation unit of its own.
    for language in "c -std=c99" "c++ -std=c++17"; do
      # shellcheck disable=SC2086 # the language and its standard, two words
      printf '#include "%s"\ntypedef int header_compiled;\n' "$header" |
        "$clang" "${flags[@]}" -fsyntax-only -x $language -
    done
    echo "$(basename "$header") compiles for the MSVC ABI as C and C++ without a warning"
  done
done

"$dlltool" -m i386:x86-64 -d "$here/kernel32.def" -l "$work/kernel32.lib"
"$clang" "${flags[@]}" -std=c99 -c "$here/msvc_client.c" -o "$work/msvc_client.obj"
"$lld_link" -nologo -subsystem:console -entry:client_main -nodefaultlib \
  -out:"$work/msvc_client.exe" "$work/msvc_client.obj" \
  "$lib_dir/vok32.lib" "$lib_dir/vok32x.lib" "$lib_dir/QVRCore.lib" "$work/kernel32.lib"
cp "$bin_dir"/*.dll "$work/"

# The client checks itself: its exit status and its one line tell.
"$@" "$work/msvc_client.exe" | tee "$work/output.txt"
grep -q 'read back unchanged' "$work/output.txt"

#!/usr/bin/env bash
# Lists the macros that the headers included by `vok gen`'s output define,
# under gcc and clang in every standard the generated code supports (and
# mingw-w64's, when installed), as the table tools/vok/codegen/header_macros.cpp
# holds.  A schema name equal to one of them would be replaced by the
# preprocessor, so vok gen refuses it.  Run it again when those includes
# change:  scripts/list-header-macros.sh > tools/vok/codegen/header_macros.cpp
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <%s>\n' stdbool.h stddef.h stdint.h string.h > "$work/probe.c"
printf '#include "%s"\n' vok32.h vok32x.h >> "$work/probe.c"
printf '#include <%s>\n' cstddef cstdint optional string vector span > "$work/probe.cpp"
printf '#include "%s"\n' vok32.hpp vok32x.h >> "$work/probe.cpp"
# vok32_version.h is made by the build; any version does here.
printf '#define VOK32_VERSION_MAJOR 1\n' > "$work/vok32_version.h"
include=(-I"$repo/include" -I"$work")
{
  for cc in gcc clang x86_64-w64-mingw32-gcc; do
    command -v "$cc" >/dev/null || continue
    for std in c99 c11 gnu17; do "$cc" -std=$std "${include[@]}" -dM -E "$work/probe.c"; done
  done
  for cxx in g++ clang++ x86_64-w64-mingw32-g++; do
    command -v "$cxx" >/dev/null || continue
    for std in c++17 c++20 gnu++20; do "$cxx" -std=$std "${include[@]}" -dM -E "$work/probe.cpp"; done
  done
} | awk '$1 == "#define" { name = $2; sub(/\(.*/, "", name); print name }' |
  grep -v -e '^_' -e '^VOK' | LC_ALL=C sort -u > "$work/names"

{
echo '// Made by scripts/list-header-macros.sh: the macros of the headers that'
echo "// generated code includes (names with a leading underscore and vok32's own"
echo '// VOK... macros are refused by rule and left out).'
echo '#include "codegen.hpp"'
echo
echo '#include <algorithm>'
echo '#include <iterator>'
echo '#include <string_view>'
echo
echo 'namespace vok::tool::codegen {'
echo
echo 'bool is_header_macro(const std::string &name) {'
echo '    static constexpr std::string_view kMacros[] = {'
sed 's/.*/        "&",/' "$work/names"
echo '    };'
echo '    return std::binary_search(std::begin(kMacros), std::end(kMacros), std::string_view(name));'
echo '}'
echo
echo '} // namespace vok::tool::codegen'
} | clang-format --assume-filename="$repo/tools/vok/codegen/header_macros.cpp"

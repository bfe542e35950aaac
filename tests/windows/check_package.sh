#!/usr/bin/env bash
# Makes the release zip with cpack, unpacks it, checks what it holds (every
# binary with its version resource), runs its vok.exe, and builds and runs the
# Microsoft-toolchain client against the unpacked files alone: its headers,
# its COFF import libraries and its DLLs, directly and through the CMake
# package.
# usage: check_package.sh CPACK CPACK_CONFIG WORK CLANG LLD_LINK DLLTOOL [EMULATOR...]
set -euo pipefail
cpack=$1 config=$2 work=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$work"
mkdir -p "$work/unpacked"
"$cpack" --config "$config" -B "$work" >"$work/cpack.log" || {
  cat "$work/cpack.log"
  exit 1
}
zips=("$work"/*.zip)
name=$(basename "${zips[0]}")
if [ ${#zips[@]} -ne 1 ] || ! [[ $name =~ ^vok32-[0-9]+\.[0-9]+\.[0-9]+-win64(-msvcrt)?\.zip$ ]]; then
  echo "expected one vok32-<version>-win64.zip, found: ${zips[*]}"
  exit 1
fi
(cd "$work/unpacked" && cmake -E tar xf "../$name")
root=$work/unpacked/${name%.zip}

echo "--- $name"
(cd "$root" && find . -type f | sed 's|^\./||' | sort)
status=0
for file in README.md LICENSE include/vok32.h include/vok32x.h include/vok32_version.h include/vok32_statuses.h include/vok32_items.h \
  include/qvrcore.h bin/vok32.dll bin/vok32x.dll bin/QVRCore.dll bin/vok.exe lib/vok32.lib \
  lib/vok32x.lib lib/QVRCore.lib lib/cmake/vok32/vok32Config.cmake \
  lib/cmake/vok32/vok32Targets.cmake docs/format.md docs/performance.png; do
  [ -f "$root/$file" ] || {
    echo "missing: $file"
    status=1
  }
done
# Every DLL has both kinds of import library; no program ships.
for dll in "$root"/bin/*.dll; do
  base=$(basename "$dll" .dll)
  for lib in "lib/$base.lib" "lib/lib$base.dll.a"; do
    [ -f "$root/$lib" ] || {
      echo "missing: $lib"
      status=1
    }
  done
done
if find "$root" -name '*.exe' ! -path '*/bin/vok.exe' | grep .; then
  echo "programs in the package besides vok.exe"
  status=1
fi
# What Windows shows in each binary's properties.
version=$(sed -E 's/^vok32-([0-9.]+)-win64.*/\1/' <<<"$name")
for binary in "$root"/bin/*.dll "$root"/bin/vok.exe; do
  resources=$(strings -el "$binary")
  for field in ProductName FileDescription FileVersion "$version"; do
    grep -qxF "$field" <<<"$resources" || {
      echo "$(basename "$binary"): no $field in its version resource"
      status=1
    }
  done
done
((status == 0)) || exit 1
shown=$("${@:4}" "$root/bin/vok.exe" --version | tr -d '\r')
[ "$shown" = "$version" ] || {
  echo "vok.exe --version from the zip says '$shown', not $version"
  exit 1
}

"$here/msvc_client.sh" "$1" "$2" "$3" "$work/client" "$root/include" "$root/lib" "$root/bin" \
  "${@:4}"

echo "--- the same client through find_package(vok32)"
cmake -S "$here/msvc_cmake" -B "$work/cmake" -G Ninja -DCMAKE_SYSTEM_NAME=Windows \
  -DCMAKE_C_COMPILER="$1" -DCMAKE_C_COMPILER_TARGET=x86_64-pc-windows-msvc \
  -DCMAKE_LINKER="$2" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$root" \
  -DKERNEL32_LIB="$work/client/kernel32.lib" >"$work/cmake.log" || {
  cat "$work/cmake.log"
  exit 1
}
cmake --build "$work/cmake" >>"$work/cmake.log" || {
  cat "$work/cmake.log"
  exit 1
}
if ! grep -q 'vok32x\.lib' "$work/cmake/build.ninja" || grep -q '\.dll\.a' "$work/cmake/build.ninja"; then
  echo "the CMake package gave the MSVC-ABI linker GNU import libraries"
  exit 1
fi
cp "$root"/bin/*.dll "$work/cmake/"
"${@:4}" "$work/cmake/msvc_client.exe" | tee "$work/cmake/output.txt"
grep -q 'read back unchanged' "$work/cmake/output.txt"

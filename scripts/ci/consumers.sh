#!/usr/bin/env bash
# Installs the project into a temporary prefix and builds, outside the source
# tree, C99 programs of each library (vok32, vok32x) through pkg-config and a
# C++ program of each through find_package, all run against the installed
# files; then builds and runs every marked example of the README and docs/.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=build/consumers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

# The README's build for installation: the library, QVRCore and the tool,
# with no test and no GoogleTest.
cmake --preset release -B "$build" -DVOK_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr/local
cmake --build "$build" -j2
if grep -qi gtest "$build/build.ninja"; then
  echo "the build for installation builds tests" >&2
  exit 1
fi
# Installed elsewhere than configured: the package files must not depend on it.
cmake --install "$build" --prefix "$prefix" >/dev/null

echo "--- installed files"
(cd "$prefix" && find . \( -type f -o -type l \) | sort)

libdir=$(dirname "$(find "$prefix" -name 'libvok32.so' | head -n1)")
# vok32x must load vok32 from its own directory, without LD_LIBRARY_PATH.
if ldd "$libdir/libvok32x.so" | grep 'not found'; then exit 1; fi
expect() { [ -e "$prefix/$1" ] || [ -e "$libdir/$1" ] || { echo "missing: $1" >&2; exit 1; }; }
for f in include/vok32.h include/vok32_version.h include/vok32.hpp include/vok32_detail.hpp include/vok32_statuses.h include/vok32_items.h \
  include/qvrcore.h include/vok32x.h include/vok32x.hpp libvok32x.so libvok32x.so.2 \
  pkgconfig/vok32x.pc libvok32.so libvok32.so.1 libQVRCore.so pkgconfig/vok32.pc pkgconfig/QVRCore.pc \
  cmake/vok32/vok32Config.cmake cmake/vok32/vok32ConfigVersion.cmake; do
  expect "$f"
done
if [ -d tools ]; then
  expect bin/vok
  # The tool finds the libraries through its own rpath.
  if ldd "$prefix/bin/vok" | grep 'not found'; then exit 1; fi
fi
readelf -d "$libdir/libvok32.so" | grep -q 'SONAME.*\[libvok32\.so\.1\]' ||
  { echo "libvok32.so has no versioned SONAME" >&2; exit 1; }
if grep -rl "$source_dir" "$prefix" >/dev/null; then
  echo "installed files refer to the source tree:" >&2
  grep -rl "$source_dir" "$prefix" >&2
  exit 1
fi

echo "--- C99 consumer through pkg-config: the shipped example"
mkdir -p "$work/c"
cp examples/record_roundtrip.c "$work/c/"
export PKG_CONFIG_PATH=$libdir/pkgconfig
project_version=$(sed -n 's/^project(vok32 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(pkg-config --modversion vok32)" = "$project_version" ] ||
  { echo "pkg-config reports another version than $project_version" >&2; exit 1; }
# shellcheck disable=SC2046 # pkg-config prints several words on purpose
gcc -std=c99 -Wall -Wextra -Wpedantic -Werror "$work/c/record_roundtrip.c" -o "$work/c/roundtrip" \
  $(pkg-config --cflags --libs vok32)
LD_LIBRARY_PATH=$libdir "$work/c/roundtrip"

for doc in README.md docs/*.md docs/*.png; do # the README's and the pages' links resolve
  [ -f "$prefix/share/doc/vok32/$doc" ] || { echo "not installed: share/doc/vok32/$doc" >&2; exit 1; }
done

echo "--- the links of the README and docs/, and every marked example, as printed"
/usr/bin/python3 scripts/ci/doc_links.py README.md docs/*.md
# The README's reader installs into ~/vok32; here that is under the scratch folder.
cmake --install "$build" --prefix "$work/docs/home/vok32" >/dev/null
/usr/bin/python3 scripts/ci/doc_examples.py --prefix "$work/docs/home/vok32" --work "$work/docs" \
  README.md docs/*.md

echo "--- C99 consumer of vok32x through pkg-config: examples/frames.c"
[ "$(pkg-config --modversion vok32x)" = "$project_version" ] ||
  { echo "pkg-config reports another version of vok32x than $project_version" >&2; exit 1; }
cp examples/frames.c "$work/c/"
# shellcheck disable=SC2046
gcc -std=c99 -Wall -Wextra -Wpedantic -Werror "$work/c/frames.c" -o "$work/c/frames" \
  $(pkg-config --cflags --libs vok32x)
LD_LIBRARY_PATH=$libdir "$work/c/frames"

echo "--- C++ consumer of vok32 and vok32x through find_package"
cp -r tests/consumers/cpp "$work/cpp"
cmake -S "$work/cpp" -B "$work/cpp/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix"
cmake --build "$work/cpp/build"
"$work/cpp/build/cpp_consumer" # found through the build tree's rpath

echo "--- generated C through vok32_generate of the installed package, read by Python and back"
cp -r tests/consumers/generated "$work/generated"
cmake -S "$work/generated" -B "$work/generated/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DORDER_SCHEMA="$PWD/examples/order.schema.json"
cmake --build "$work/generated/build"
orders=$work/generated/build/orders
LD_LIBRARY_PATH=$libdir "$orders" write "$work/generated/c.bin"
VOK32_LIBRARY_PATH=$libdir PYTHONPATH=$PWD/python /usr/bin/python3 - "$work/generated" <<'PYTHON'
import sys, vok32
work = sys.argv[1]
schema = vok32.Schema.load("examples/order.schema.json")
order = schema.decode(open(f"{work}/c.bin", "rb").read())
assert order["tags"] == [b"z\0z"] and order["lines"] == [{"sku": b"S", "quantity": 3}], order
open(f"{work}/py.bin", "wb").write(schema.encode({**order, "customer": "Grace", "amount": -7}))
print("python read the generated C's order", order["id"])
PYTHON
output=$(LD_LIBRARY_PATH=$libdir "$orders" read "$work/generated/py.bin")
[ "$output" = "order 42 for Grace, 1 tags, 1 lines, amount -7" ] ||
  { echo "the generated C read: $output" >&2; exit 1; }
echo "$output"

echo "--- release tarball"
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
tarball=$work/package/vok32-$project_version-Linux.tar.gz
[ -f "$tarball" ] || { echo "cpack made no $(basename "$tarball")" >&2; exit 1; }
contents=$(tar -tzf "$tarball" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
echo "$contents"
for f in include/vok32.h include/vok32x.h include/qvrcore.h lib/libvok32.so.1 lib/libvok32x.so.2 \
  lib/libQVRCore.so lib/cmake/vok32/vok32Config.cmake share/doc/vok32/README.md share/doc/vok32/LICENSE; do
  grep -qxF "$f" <<<"$contents" || { echo "missing from the tarball: $f" >&2; exit 1; }
done

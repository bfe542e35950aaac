#!/usr/bin/env bash
# The Python package against freshly built libraries: builds and installs
# vok32, vok32x, the vok tool and the package's compiled extension into a
# temporary prefix, installs the package offline (into that prefix, into a
# virtual environment and with --target, the last two with the extension
# bundled), and runs its tests from outside the source tree over both
# implementations, so that the installed copy is the one tested.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=build/python

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

# Debian's interpreter: the first python3 on PATH may be another one, without
# setuptools' wheel support; the extension is built for this one.
python=/usr/bin/python3
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOK_WERROR=ON -DVOK_BUILD_TESTS=OFF \
  -DVOK_BUILD_PYTHON=ON -DPython3_EXECUTABLE="$python"
cmake --build "$build" -j2
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libvok32x.so.2' | head -n1)")
export VOK32_LIBRARY_PATH=$libdir VOK_TOOL=$prefix/bin/vok

# pip builds in the directory it is given, so it gets a copy and the checkout
# stays clean; the copy bundles the extension for the venv and --target.
export PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_ROOT_USER_ACTION=ignore
cp -r python "$work/package"
cp "$build"/python/vok32/_native.*.so "$work/package/vok32/"
"$python" -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --quiet --no-build-isolation --no-index "$work/package"
"$python" -m pip install --quiet --no-build-isolation --no-index --target "$work/target" \
  "$work/package"
PYTHONPATH=$work/target "$python" -c \
  'import vok32; print("--target:", vok32.__file__, vok32.implementation); assert vok32.implementation == "native"'

# Installed by pip into the prefix of the libraries, beside the extension
# that cmake --install put there, the package finds both without variables.
cp -r python "$work/plain"
"$python" -m pip install --quiet --no-build-isolation --no-index --prefix "$prefix" "$work/plain"
site=$(dirname "$(dirname "$(find "$prefix" -path '*/vok32/__init__.py' | head -n1)")")
(cd "$work" && env -u VOK32_LIBRARY_PATH PYTHONPATH="$site" "$python" -c '
import sys, vok32, vok32._libraries as n
print("--prefix:", n.loaded_from, vok32.implementation)
assert n.loaded_from.startswith(sys.argv[1]) and vok32.implementation == "native"' "$prefix")

cd "$work"
"$work/venv/bin/python" - <<'PYTHON'
import vok32, sys
assert vok32.__file__.startswith(sys.prefix), vok32.__file__
assert sorted(vok32._implementation.available) == ["ctypes", "native"]
print("testing", vok32.__file__, vok32.__version__, "on vok32x", vok32.library_version())
PYTHON
"$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$source_dir/python/tests" |
  tee "$work/pytest.log"
# In CTest's words, for the closing count of scripts/test.sh (a failure has
# already stopped the stage).
passed=$(grep -oE '[0-9]+ passed' "$work/pytest.log" | tail -n1 | cut -d' ' -f1)
echo "pytest: 100% tests passed, 0 tests failed out of $passed"

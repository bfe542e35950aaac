#!/usr/bin/env bash
# The README's five-minute path, end to end: installs only the packages it
# needs, builds and installs the release preset into build/demo/home/vok32
# (the README's ~/vok32, so that nothing outside the clone is touched), then
# runs the README's examples as printed, showing each: a schema, records
# packed and dumped by the tool, read and appended from Python, and read by
# generated C++.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh demo
cmake --preset release >/dev/null
cmake --build --preset release
work=build/demo
rm -rf "$work"
cmake --install build/release --prefix "$work/home/vok32" >/dev/null
/usr/bin/python3 scripts/ci/doc_examples.py --show --prefix "$work/home/vok32" --work "$work" README.md

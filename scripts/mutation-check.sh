#!/usr/bin/env bash
# Plants one fault at a time in each area of the code and reports which
# tests catch it: a check that the tests guard what they claim to.
#
#   scripts/mutation-check.sh [TABLE]      (default: scripts/mutations.txt)
#
# Each line of the table is "area|file|perl substitution"; the fault is
# applied to a copy of the work tree (git archive of HEAD, plus the table),
# built with the ci preset, and ctest and pytest run against it.  Prints per
# fault the tests that failed, or MISSED.  Exit 1 when a fault is missed or
# does not apply (the table names code that has moved), 0 otherwise.
set -uo pipefail
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
table=$(realpath "${1:-$repo/scripts/mutations.txt}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git -C "$repo" archive HEAD | tar -x -C "$work"
cd "$work"
cmake --preset ci >/dev/null || exit 2
cmake --build build/ci >/dev/null || exit 2

# The failing tests of ctest and pytest, one per line.
failures() {
  ctest --test-dir build/ci --parallel "$(nproc)" --timeout 300 2>/dev/null |
    sed -nE 's/^[[:space:]]*[0-9]+ - (.*) \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception|Child aborted)\).*/\1/p'
  local libs=$work/pylibs
  rm -rf "$libs" && mkdir -p "$libs"
  cp -a build/ci/src/libvok32.so* build/ci/src/vok32x/libvok32x.so* "$libs"/
  VOK32_LIBRARY_PATH=$libs VOK_TOOL=$work/build/ci/tools/vok/vok PYTHONPATH=$work/python \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests 2>/dev/null |
    sed -n 's/^FAILED \([^ ]*\).*/\1/p'
}

missed=0
while IFS='|' read -r area file substitution; do
  [[ -z $area || $area == \#* ]] && continue
  cp "$file" "$file.orig"
  perl -0pi -e "$substitution" "$file"
  if cmp -s "$file" "$file.orig"; then
    echo "$area: DOES NOT APPLY ($file)"
    missed=1
  elif ! cmake --build build/ci >/dev/null 2>&1; then
    echo "$area: caught by the build"
  else
    caught=$(failures | sort -u | paste -sd' ')
    if [[ -z $caught ]]; then
      echo "$area: MISSED"
      missed=1
    else
      echo "$area: $caught"
    fi
  fi
  mv "$file.orig" "$file"
  touch "$file"
done <"$table"
cmake --build build/ci >/dev/null 2>&1
exit $missed

#!/usr/bin/env bash
# Plants one fault at a time in each area of the code and reports which
# tests catch it: a check that the tests guard what they claim to.
#
#   scripts/mutation-check.sh [TABLE] [AREA_REGEX]   (default: scripts/mutations.txt)
#
# Each line of the table is "area|file|perl substitution"; the fault is
# applied to a copy of the work tree (git archive of HEAD, plus the table),
# built with the ci preset, and ctest and pytest run against it.  Prints per
# fault the tests that failed, or MISSED, then caught/total per area and in
# all.  AREA_REGEX picks areas (grep -E).  Exit 1 when a fault does not apply
# (the table names code that has moved) or when faults are missed: any, or,
# with THRESHOLD=N, more than 100 - N percent of them.  The model test reads
# records up to VOK_MODEL_LENGTH items (default here 6, for time).
set -uo pipefail
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
table=$(realpath "${1:-$repo/scripts/mutations.txt}")
areas=${2:-.}
threshold=${THRESHOLD:-100}
export VOK_MODEL_LENGTH=${VOK_MODEL_LENGTH:-6}
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
  # The package with its compiled extension beside it: pytest runs over both.
  rm -rf "$work/pypkg" && mkdir -p "$work/pypkg" && cp -r python/vok32 "$work/pypkg"/
  cp build/ci/python/vok32/_native.*.so "$work/pypkg/vok32"/ 2>/dev/null
  VOK32_LIBRARY_PATH=$libs VOK_TOOL=$work/build/ci/tools/vok/vok PYTHONPATH=$work/pypkg \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests 2>/dev/null |
    sed -n 's/^FAILED \([^ ]*\).*/\1/p'
}

declare -A total caught_in
stale=0 missed=0 planted=0
while IFS='|' read -r area file substitution; do
  [[ -z $area || $area == \#* ]] && continue
  grep -qE "$areas" <<<"$area" || continue
  cp "$file" "$file.orig"
  perl -0pi -e "$substitution" "$file"
  total[$area]=$((${total[$area]:-0} + 1))
  planted=$((planted + 1))
  if cmp -s "$file" "$file.orig"; then
    echo "$area: DOES NOT APPLY ($file: $substitution)"
    stale=1
    missed=$((missed + 1))
  elif ! cmake --build build/ci >/dev/null 2>&1; then
    echo "$area: caught by the build"
    caught_in[$area]=$((${caught_in[$area]:-0} + 1))
  else
    caught=$(failures | sort -u | paste -sd' ')
    if [[ -z $caught ]]; then
      echo "$area: MISSED ($file: $substitution)"
      missed=$((missed + 1))
    else
      echo "$area: $caught"
      caught_in[$area]=$((${caught_in[$area]:-0} + 1))
    fi
  fi
  mv "$file.orig" "$file"
  touch "$file"
done <"$table"
cmake --build build/ci >/dev/null 2>&1
echo "--- caught per area"
for area in "${!total[@]}"; do
  echo "$area: ${caught_in[$area]:-0}/${total[$area]}"
done | sort
((planted)) || exit 1
echo "all: $((planted - missed))/$planted caught"
((stale == 0 && missed * 100 <= planted * (100 - threshold)))

#!/usr/bin/env bash
# The whole test suite: installs what is missing, then runs every stage.
# Stages can be picked by name: scripts/test.sh linux windows
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

stages=("$@")
((${#stages[@]})) || stages=(linux sanitizers fuzz consumers windows python web)

log=$(mktemp)
trap 'rm -f "$log"' EXIT

for stage in "${stages[@]}"; do
  echo "=== stage: $stage"
  start=$SECONDS
  "scripts/ci/$stage.sh" 2>&1 | tee -a "$log"
  echo "=== stage $stage passed in $((SECONDS - start)) s"
done

# One closing count over every CTest run of the stages.
awk '/tests passed, [0-9]+ tests failed out of/ { failed += $4; total += $NF }
     END { printf "all stages: %d passed, %d failed\n", total - failed, failed }' "$log"

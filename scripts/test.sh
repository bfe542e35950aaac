#!/usr/bin/env bash
# The whole test suite: installs what is missing, then runs every stage.
# Stages can be picked by name: scripts/test.sh linux windows
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

stages=("$@")
((${#stages[@]})) || stages=(linux sanitizers fuzz consumers windows)

for stage in "${stages[@]}"; do
  echo "=== stage: $stage"
  start=$SECONDS
  "scripts/ci/$stage.sh"
  echo "=== stage $stage passed in $((SECONDS - start)) s"
done

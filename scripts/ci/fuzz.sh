#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each from its seed corpus.  The
# corpus is copied to a temporary directory, so nothing is written into the
# repository.  FUZZ_SECONDS (default 36) sets the time per harness; a crash
# leaves its input in build/fuzz/artifacts/ and fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${FUZZ_SECONDS:-36}
cmake --preset fuzz
cmake --build --preset fuzz -j2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"

for harness in fuzz_reader fuzz_roundtrip fuzz_misuse fuzz_check fuzz_vok32x fuzz_records fuzz_schema; do
  binary=build/fuzz/fuzz/$harness
  if [[ ! -x $binary ]]; then
    echo "=== $harness: not built, skipped"
    continue
  fi
  mkdir -p "$work/$harness"
  cp fuzz/corpus/$harness/* "$work/$harness/"
  echo "=== $harness: ${seconds} s"
  log="$work/$harness.log"
  if ! "$binary" "$work/$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$harness-" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "=== $harness FAILED; the input is in $artifacts/"
    exit 1
  fi
  grep -E '^#[0-9]+ +DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$log"
done

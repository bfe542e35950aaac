#!/usr/bin/env bash
# The whole test suite under AddressSanitizer + LeakSanitizer +
# UndefinedBehaviorSanitizer, then under ThreadSanitizer.  Any report fails.
set -euo pipefail
cd "$(dirname "$0")/../.."

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The model test reads every record up to 7 items; 5 under a sanitizer.
export VOK_MODEL_LENGTH=5

for preset in asan tsan; do
  echo "=== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j2
  ctest --preset "$preset" -j2
done

# A race shows up only when the threads happen to overlap: give the
# concurrency test several more chances under ThreadSanitizer.
ctest --preset tsan -R Concurrency --repeat until-fail:10

#!/usr/bin/env bash
# Compares the benchmark of two commits on this machine:
#
#   scripts/bench-compare.sh BASE [HEAD]      (HEAD defaults to the work tree's HEAD)
#
# Both commits are exported into temporary folders and built there (the bench
# preset: Release, -O2), so the work tree is never touched.  The two programs
# then run in alternation, ROUNDS times each (default 5), and every benchmark
# is reported as the median of its CPU times:
#
#   <name> <base_ns> <head_ns> <head/base>[ SLOWER]
#
# SLOWER marks a ratio above 1.05; rerun before believing one, machines are
# noisy.  A benchmark only one side has is reported as "only in BASE" or
# "only in HEAD".  FILTER (a Google Benchmark regex) picks benchmarks; by
# default only vok32's and vok32x's own rows run, since the peers' code does
# not change between our commits (FILTER=. runs everything).
# Exit 0 whatever the timings say, 2 when a commit does not build.
set -euo pipefail

if (($# < 1 || $# > 2)); then
  echo "usage: $0 BASE [HEAD]" >&2
  exit 2
fi
repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
base=$(git -C "$repo" rev-parse --verify "$1^{commit}")
head=$(git -C "$repo" rev-parse --verify "${2:-HEAD}^{commit}")
rounds=${ROUNDS:-5}
filter=${FILTER:-vok32}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Exports a commit and builds its benchmark; prints the program's path.
build() {
  local commit=$1 dir=$work/$2
  mkdir -p "$dir"
  git -C "$repo" archive "$commit" | tar -x -C "$dir"
  if ! (cd "$dir" && cmake --preset bench >"$work/$2.log" 2>&1 &&
    cmake --build build/bench --target vok32_bench >>"$work/$2.log" 2>&1); then
    echo "bench-compare: ${commit:0:12} does not build:" >&2
    tail -n 20 "$work/$2.log" >&2
    exit 2
  fi
  find "$dir/build/bench" -name vok32_bench -type f -perm -u+x | head -n 1
}

base_bench=$(build "$base" base)
head_bench=$(build "$head" head)

for ((r = 1; r <= rounds; r++)); do
  for side in base head; do
    program=${side}_bench
    "${!program}" --benchmark_filter="$filter" --benchmark_format=json \
      >"$work/$side.$r.json" 2>/dev/null
  done
done

python3 - "$work" "$rounds" <<'EOF'
import json, statistics, sys

work, rounds = sys.argv[1], int(sys.argv[2])
SCALE = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

def medians(side):
    times = {}
    for r in range(1, rounds + 1):
        with open(f"{work}/{side}.{r}.json") as f:
            for b in json.load(f)["benchmarks"]:
                if b.get("error_occurred"):
                    continue
                ns = b["cpu_time"] * SCALE[b.get("time_unit", "ns")]
                times.setdefault(b["name"], []).append(ns)
    return {name: statistics.median(v) for name, v in times.items()}

base, head = medians("base"), medians("head")
for name in list(base) + [n for n in head if n not in base]:
    if name not in head:
        print(f"{name} only in BASE")
    elif name not in base:
        print(f"{name} only in HEAD")
    else:
        ratio = head[name] / base[name]
        mark = " SLOWER" if ratio > 1.05 else ""
        print(f"{name} {base[name]:.0f} {head[name]:.0f} {ratio:.3f}{mark}")
EOF

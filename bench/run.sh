#!/bin/sh
# Runs every benchmark executable of a build tree (results also as JSON
# beside each executable), then the comparison against VTK when the system
# Python has it.
set -eu
BUILD="${1:-build}"
found=0
for b in "$BUILD"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  case "$b" in *.json) continue ;; esac
  found=1
  echo "== $b"
  "$b" --benchmark_min_time=0.2 --benchmark_out="$b.json" --benchmark_out_format=json
done
[ "$found" = 1 ] || echo "no benchmarks built"
"$(dirname "$0")/compare.sh" "$BUILD"

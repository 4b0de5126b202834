#!/bin/sh
# Runs every benchmark executable of a build tree.
set -eu
BUILD="${1:-build}"
found=0
for b in "$BUILD"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $b"
  "$b" --benchmark_min_time=0.2
done
[ "$found" = 1 ] || echo "no benchmarks built"

#!/bin/sh
# Runs every benchmark executable of a build tree (results also as JSON
# beside each executable), then the comparison against VTK when the system
# Python has it. BENCH_LARGE=1 adds the 512 x 512 x 1000 volume.
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
# The whole-body sized volume (about 1.3 GB, minutes): only when asked for.
if [ "${BENCH_LARGE:-0}" = 1 ] && [ -x "$BUILD/bench/bench_render" ]; then
  echo "== $BUILD/bench/bench_render --large"
  "$BUILD/bench/bench_render" --large --benchmark_out="$BUILD/bench/bench_render_large.json" --benchmark_out_format=json
fi
# Retrieval from a local PACS (Orthanc), when it can be started.
if [ "${BENCH_LARGE:-0}" = 1 ]; then large=--large; else large=; fi
/usr/bin/python3 "$(dirname "$0")/pacs/retrieve_bench.py" "$BUILD" $large || true
"$(dirname "$0")/compare.sh" "$BUILD"

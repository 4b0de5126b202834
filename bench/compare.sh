#!/bin/sh
# Renderer speed against VTK, from the timings bench/run.sh has just taken.
# Skipped unless /usr/bin/python3 imports vtk (python3-vtk9, which
# `tools/setup-deps --bench` installs and `make bench` asks for; the tests
# do not need it).
set -eu
BUILD="${1:-build}"
ours="$BUILD/bench/bench_render.json"
if [ ! -x "$BUILD/bench/bench_render" ]; then
  echo "compare: bench_render not built, skipped"
  exit 0
fi
if ! /usr/bin/python3 -c 'import vtk' 2>/dev/null; then
  echo "compare: no VTK for /usr/bin/python3 (apt-get install -y python3-vtk9), skipped"
  exit 0
fi
echo "== VTK comparison"
if [ -f "$ours" ]; then
  /usr/bin/python3 "$(dirname "$0")/compare_vtk.py" "$BUILD" --ours "$ours"
else
  /usr/bin/python3 "$(dirname "$0")/compare_vtk.py" "$BUILD"
fi
# The whole-body sized volume, when bench/run.sh measured it (BENCH_LARGE=1).
large="$BUILD/bench/bench_render_large.json"
if [ "${BENCH_LARGE:-0}" = 1 ] && [ -f "$large" ]; then
  echo "== VTK comparison, 512 x 512 x 1000"
  /usr/bin/python3 "$(dirname "$0")/compare_vtk.py" "$BUILD" --large --ours "$large"
fi

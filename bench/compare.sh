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
  exec /usr/bin/python3 "$(dirname "$0")/compare_vtk.py" "$BUILD" --ours "$ours"
fi
exec /usr/bin/python3 "$(dirname "$0")/compare_vtk.py" "$BUILD"

#!/bin/sh
# Builds the link's fuzz targets with clang and runs each on its seed
# corpus for SECONDS (new inputs go to a scratch corpus, the seeds stay as
# they are). Exits 77 (skipped) when clang is not installed.
#   run_fuzzers.sh BUILD_DIR SECONDS [TARGET]
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$1
SECONDS_EACH=$2
ONLY=${3:-}
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzz targets skipped"
  exit 77
fi
cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >"$BUILD.configure.log" 2>&1 ||
  { cat "$BUILD.configure.log"; exit 1; }
cmake --build "$BUILD" -j 2
for target in collab_handshake_fuzz merged_state_fuzz; do
  if [ -n "$ONLY" ] && [ "$ONLY" != "$target" ]; then continue; fi
  scratch="$BUILD/corpus-$target"
  mkdir -p "$scratch"
  seeds="$HERE/seeds/${target%_fuzz}"
  echo "$target: $SECONDS_EACH s on $seeds"
  UBSAN_OPTIONS=print_stacktrace=1 \
    "$BUILD/$target" -max_total_time="$SECONDS_EACH" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$BUILD/$target-" "$scratch" "$seeds"
done

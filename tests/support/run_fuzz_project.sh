#!/bin/sh
# Builds the fuzz targets of a CMake project folder with clang and runs each
# on its seed corpus (FOLDER/seeds/NAME for NAME_fuzz) for SECONDS; new
# inputs go to a scratch corpus, the seeds stay as they are. Exits 77
# (skipped) when clang is not installed.
#   run_fuzz_project.sh FOLDER BUILD_DIR SECONDS ONLY TARGET...   (ONLY: one target or "")
set -eu
HERE=$1
BUILD=$2
SECONDS_EACH=$3
ONLY=$4
shift 4
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: fuzz targets skipped"
  exit 77
fi
cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >"$BUILD.configure.log" 2>&1 ||
  { cat "$BUILD.configure.log"; exit 1; }
cmake --build "$BUILD" -j 2
for target in "$@"; do
  if [ -n "$ONLY" ] && [ "$ONLY" != "$target" ]; then continue; fi
  scratch="$BUILD/corpus-$target"
  mkdir -p "$scratch"
  seeds="$HERE/seeds/${target%_fuzz}"
  echo "$target: $SECONDS_EACH s on $seeds"
  UBSAN_OPTIONS=print_stacktrace=1 \
    # A finding fails the run: libFuzzer's own exit code, 77, reads as a skip.
    "$BUILD/$target" -max_total_time="$SECONDS_EACH" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
      -error_exitcode=1 -timeout_exitcode=1 \
      -artifact_prefix="$BUILD/$target-" "$scratch" "$seeds"
done

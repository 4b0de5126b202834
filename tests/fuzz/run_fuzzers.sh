#!/bin/sh
# Builds the fuzz targets with clang in BUILD and runs each for SECONDS on a
# copy of its seed corpus. Exit 77 (skipped) without clang.
set -eu
SOURCE=$(cd "$(dirname "$0")" && pwd)
BUILD=$1
SECONDS_EACH=${2:-5}
command -v clang++ >/dev/null 2>&1 || { echo "clang++ not found: fuzz targets skipped"; exit 77; }
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' > /tmp/fuzz-probe-$$.cpp
if ! clang++ -fsanitize=fuzzer,address,undefined /tmp/fuzz-probe-$$.cpp -o /tmp/fuzz-probe-$$ 2>/dev/null; then
    rm -f /tmp/fuzz-probe-$$.cpp /tmp/fuzz-probe-$$
    echo "clang++ cannot build libFuzzer targets: skipped"; exit 77
fi
rm -f /tmp/fuzz-probe-$$.cpp /tmp/fuzz-probe-$$
GENERATOR=
command -v ninja >/dev/null 2>&1 && GENERATOR="-G Ninja"
cmake -S "$SOURCE/project" -B "$BUILD" $GENERATOR -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 2
for target in state_text:state seg_history:seghistory image_list:imagelist; do
    name=${target%%:*}
    seeds=${target##*:}
    work="$BUILD/corpus-$seeds"
    rm -rf "$work"
    mkdir -p "$work"
    cp "$SOURCE/corpus/$seeds"/* "$work/"
    # A finding fails the run (libFuzzer's own exit code, 77, reads as a skip here).
    status=0
    "$BUILD/fuzz_$name" -max_total_time="$SECONDS_EACH" -max_len=16384 -print_final_stats=1 \
      -error_exitcode=1 -timeout_exitcode=1 -artifact_prefix="$BUILD/fuzz_$name-" "$work" >"$BUILD/fuzz_$name.log" 2>&1 ||
      status=$?
    tail -12 "$BUILD/fuzz_$name.log"
    [ "$status" -eq 0 ] || { echo "fuzz_$name found a failing input (see $BUILD/fuzz_$name.log)"; exit 1; }
done

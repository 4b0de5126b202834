#!/bin/sh
# The main job: starts the reference host offscreen with the built plug-ins,
# opens a 3D window and saves a screenshot into out/demo/.
set -eu
BUILD="${BUILD:-build}"
OUT="out/demo"
mkdir -p "$OUT"
SCRIPT="$OUT/demo.script"
cat > "$SCRIPT" <<SCRIPT_END
cell 0
menu &Postprocessing\\Vexel 3D\\&Create
expect-window 0
screenshot $OUT/host.png
SCRIPT_END
start=$(date +%s%N)
"$BUILD/host/quarvia" --offscreen --plugins "$BUILD/plugins" --profile "$OUT/profile.ini" --script "$SCRIPT"
end=$(date +%s%N)
echo "demo: wrote $(pwd)/$OUT/host.png ($(( (end - start) / 1000000 )) ms)"

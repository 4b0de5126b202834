#!/bin/sh
# The main job: makes the phantom head CT if needed, starts the reference
# host offscreen with both plug-ins, opens a 3D window on the series and
# saves screenshots of it in each render mode into out/demo/.
set -eu
BUILD="${BUILD:-build}"
OUT="out/demo"
PHANTOM="out/phantom"
mkdir -p "$OUT"
if [ ! -f "$PHANTOM/.complete" ]; then
  rm -rf "$PHANTOM"
  "$BUILD/tools/phantom/phantom" --out "$PHANTOM" --size 256x256x160 > /dev/null
  touch "$PHANTOM/.complete"
fi
SCRIPT="$OUT/demo.script"
cat > "$SCRIPT" <<SCRIPT_END
open $PHANTOM
series 0 0
cell 1
series 0 1
menu &Postprocessing\\Vexel 3D\\&Create
expect-window 1
screenshot-cell 1 $OUT/ssd-parallel.png
command 1 32796
command 1 32799
screenshot-cell 1 $OUT/ssd-perspective.png
command 1 32798
command 1 32795
screenshot-cell 1 $OUT/mip.png
command 1 32797
screenshot-cell 1 $OUT/opq.png
command 1 32796
wait-idle 3000
screenshot $OUT/host.png
SCRIPT_END
start=$(date +%s%N)
"$BUILD/host/quarvia" --offscreen --plugins "$BUILD/plugins" --profile "$OUT/profile.ini" \
  --output "$OUT/captures" --script "$SCRIPT" 2>"$OUT/host.log" |
  sed -e "s|^screenshot \(.*\): \(.*\)|demo: wrote $(pwd)/\1|" \
      -e "s|^menu .*Create: \(.*\)|demo: 3D window opened, volume built and first SSD frame in \1|" \
      -e "s|^command 1 32799: \(.*\)|demo: SSD perspective frame in \1|" \
      -e "s|^command 1 32795: \(.*\)|demo: MIP frame in \1|" \
      -e "s|^command 1 32797: \(.*\)|demo: OPQ frame in \1|" \
      -e "/^command /d"
end=$(date +%s%N)
echo "demo: wrote $(pwd)/$OUT/host.png"
echo "demo: whole run $(( (end - start) / 1000000 )) ms (host log: $OUT/host.log)"

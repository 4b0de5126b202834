#!/bin/sh
# The main job: makes the phantom head CT if needed, starts the reference
# host offscreen (one cell in a 1280 x 800 window) with both plug-ins, opens
# a 3D window on the series and saves pictures of it into out/demo/: shaded
# surface from the front, orbited and in perspective, a maximum intensity
# projection, the table removed by a flood fill, a cut plane with the grey
# cross-section on its face, the opaque (slice) mode on the same cut, and a
# captured DICOM image (checked with dciodvfy when it is installed). One line per picture with its frame
# time. `tools/demo.sh --gallery` also copies the pictures into docs/gallery/.
set -eu
BUILD="${BUILD:-build}"
OUT="out/demo"
PHANTOM="out/phantom"
GALLERY="docs/gallery"
PHANTOM_TOOL="$BUILD/tools/phantom/phantom"
copy_to_gallery=0
[ "${1:-}" = "--gallery" ] && copy_to_gallery=1

mkdir -p "$OUT"
# A rebuilt phantom tool may draw a different head: make the series again.
if [ ! -f "$PHANTOM/.complete" ] || [ -n "$(find "$PHANTOM_TOOL" -newer "$PHANTOM/.complete")" ]; then
  rm -rf "$PHANTOM"
  start=$(date +%s%N)
  "$PHANTOM_TOOL" --out "$PHANTOM" --size 256x256x160 > /dev/null
  touch "$PHANTOM/.complete"
  echo "demo: phantom series (256 x 256 x 160) written in $(( ($(date +%s%N) - start) / 1000000 )) ms"
fi
# A fresh profile each run: the view state it keeps would change the pictures.
rm -rf "$OUT/profile.ini" "$OUT/reading.ini" "$OUT"/*.png "$OUT/captures"
mkdir -p "$OUT/captures"

# Mouse input goes to the 3D window in cell 0 at its own coordinates; the
# rendered picture is the square in the middle of the view (about 690 pixels
# in a 1280 x 800 host), centred near (614, 345).
drag() {  # BUTTON X0 Y0 X1 Y1 [X2 Y2 ...]: press, a small first move (the anchor), then the moves
  button=$1 x=$2 y=$3
  shift 3
  echo "mouse 0 press $x $y $button"
  echo "mouse 0 move $((x + 1)) $y $button"
  while [ $# -ge 2 ]; do
    x=$1 y=$2
    shift 2
    echo "mouse 0 move $x $y $button"
  done
  echo "mouse 0 release $x $y $button"
}
# Window/level tool drag: each move of up to 15 pixels changes the level by
# ten times the vertical and the width by ten times the horizontal distance.
window_level() {  # DX DY COUNT: COUNT moves of (DX, DY)
  x=600 y=400 points=""
  i=0
  while [ $i -lt "$3" ]; do
    x=$((x + $1)) y=$((y + $2)) points="$points $x $y"
    i=$((i + 1))
  done
  # shellcheck disable=SC2086
  drag right 599 400 $points
}

SCRIPT="$OUT/demo.script"
{
  echo "open $PHANTOM"
  echo "series 0 0"
  echo "menu &Postprocessing\\Vexel 3D\\&Create"
  echo "expect-window 0"
  # Six notches of the wheel zoom the parallel view in on the head.
  echo "wheel 0 -720"
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/ssd-anterior.png"
  # Four left drags of 39 pixels orbit the camera about 45 degrees towards
  # the patient's left, a short upward one lifts it a little.
  for _ in 1 2 3 4; do drag left 600 350 640 350; done
  drag left 600 350 601 330
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/ssd-orbit.png"
  echo "screenshot $OUT/host.png"
  # The object tool: a Shift double-click on the table behind the head
  # removes it (flood fill of the connected object); then all back.
  echo "command 0 32784"
  echo "mouse 0 move 900 300"
  echo "mouse 0 double 900 300 left shift"
  echo "mouse 0 release 900 300 left shift"
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/table-removed.png"
  echo "command 0 32791"
  echo "command 0 32807"
  # Perspective; the wheel then moves the camera towards the head.
  echo "command 0 32799"
  echo "wheel 0 2000"
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/ssd-perspective.png"
  # Parallel again, from the front, as a maximum intensity projection with
  # the window raised to level 1500 (bone grey, contrast and marker white).
  echo "command 0 32798"
  echo "command 0 5016"
  echo "command 0 32795"
  echo "command 0 32810"
  window_level 0 15 10
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/mip.png"
  # Shaded surface with a narrow soft-tissue window (level 40, width 150) for
  # the cut face, a cut line dragged across the head at the level of the
  # ventricles, then the camera lifted to look down onto the cut.
  echo "command 0 32796"
  window_level 0 -15 10
  window_level -15 0 5
  window_level -10 4 1
  echo "command 0 32777"
  drag right 900 330 600 330 330 330
  drag left 600 350 601 310
  drag left 600 350 601 310
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/cut-plane.png"
  # The opaque mode on the same cut: the oblique slice alone.
  echo "command 0 32797"
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/opq-cut.png"
  # A double-click with an image tool captures the view as a DICOM image.
  echo "command 0 32807"
  echo "mouse 0 double 600 350 left"
  echo "wait-idle 5000"
  echo "screenshot-cell 0 $OUT/captured.png"
} > "$SCRIPT"

# Each host line ends with the time the input and the frame it asked for
# took; the last such time before a picture is that picture's frame time.
# The time to a picture also counts the refinement passes until the view
# was idle.
start=$(date +%s%N)
last=$start
frame=""
"$BUILD/host/quarvia" --offscreen --grid 1x1 --window-size 1280x800 --no-docks --plugins "$BUILD/plugins" \
  --profile "$OUT/profile.ini" --output "$OUT/captures" --script "$SCRIPT" 2>"$OUT/host.log" |
while IFS= read -r line; do
  now=$(date +%s%N)
  ms=${line##*: }
  ms=${ms% ms}
  case "$line" in
    "menu "*Create:*)
      echo "demo: 3D window opened, volume built and first frame in $ms ms" ;;
    "screenshot "*)
      file=${line#screenshot }
      file=${file%: *}
      echo "demo: $(basename "$file"): frame ${frame:-$ms} ms, picture ready $(( (now - last) / 1000000 )) ms after the previous one"
      last=$now
      frame="" ;;
    "command "*|"wheel "*|"mouse "*)
      [ "$ms" -gt 0 ] 2>/dev/null && frame=$ms ;;
  esac
done
if grep -q "script failed" "$OUT/host.log" || [ ! -f "$OUT/opq-cut.png" ]; then
  echo "demo: the host script failed, see $OUT/host.log" >&2
  exit 1
fi
capture=$(ls "$OUT"/captures/*.dcm 2>/dev/null | head -1)
if [ -z "$capture" ]; then
  echo "demo: no captured DICOM file in $OUT/captures" >&2
  exit 1
fi
if command -v dciodvfy > /dev/null; then
  errors=$(dciodvfy "$capture" 2>&1 | grep -c '^Error' || true)
  echo "demo: captured $capture: dciodvfy reports $errors errors"
fi
echo "demo: wrote $(pwd)/$OUT/host.png (the whole 1280 x 800 host)"
echo "demo: whole run $(( ($(date +%s%N) - start) / 1000000 )) ms (host log: $OUT/host.log)"

# The reading layout: axial, coronal and sagittal reformats of the phantom
# beside a 3D window. A left press on the 3D surface (the tip of the nose)
# places the 3D cursor, which moves the planes' crossing there; a distance
# across the head and a region in the brain are measured while it shows.
# Then the crossing is turned 25 degrees in the axial plane (the other two
# become oblique) and the coronal plane shown as a 20 mm MIP slab.
READING_SCRIPT="$OUT/reading.script"
cat > "$READING_SCRIPT" <<SCRIPT
open $PHANTOM
series 0 0
menu &Reading\\Reading La&yout
cell 3
menu &Postprocessing\\Vexel 3D\\&Create
browser-drag 0 3
wait-idle 10000
mouse 3 press 300 180 left
tool distance
mouse 0 press 218 230 left
mouse 0 move 300 230 left
mouse 0 release 422 230 left
tool ellipse
mouse 2 press 250 110 left
mouse 2 move 290 130 left
mouse 2 release 330 160 left
tool pointer
screenshot $OUT/reading.png
mouse 3 release 300 180 left
turn 0 25
slab 1 mip 20
screenshot $OUT/reading-oblique.png
measurements
SCRIPT
"$BUILD/host/quarvia" --offscreen --grid 2x2 --window-size 1280x800 --no-docks --plugins "$BUILD/plugins" \
  --profile "$OUT/reading.ini" --script "$READING_SCRIPT" 2>"$OUT/reading.log" | grep '^measurement' |
  sed 's/^/demo: reading layout: /' || true
if [ ! -f "$OUT/reading-oblique.png" ]; then
  echo "demo: the reading layout script failed, see $OUT/reading.log" >&2
  exit 1
fi
echo "demo: wrote $(pwd)/$OUT/reading.png and reading-oblique.png (reformats, 3D cursor, measurements)"

# Retrieval from a PACS while the 3D view renders: the phantom put on a local
# Orthanc, fetched by DIMSE through a link slowed to a few seconds for the
# series, with a 3D window opened once a quarter has arrived. Skipped, saying
# so, when Orthanc cannot be started.
PACS_WORK="$OUT/pacs"
rm -rf "$PACS_WORK"
mkdir -p "$PACS_WORK"
if started=$(/usr/bin/python3 tests/pacs/orthanc_server.py start "$PACS_WORK/orthanc" "$PHANTOM" 2>&1); then
  http=$(echo "$started" | sed -n 's/.*http \([0-9]*\).*/\1/p')
  dimse=$(echo "$started" | sed -n 's/.*dimse \([0-9]*\).*/\1/p')
  port=$((dimse + 1))
  bytes=$(du -sb "$PHANTOM" | cut -f1)
  /usr/bin/python3 tests/pacs/slow_proxy.py "$port" "$dimse" $((bytes / 6)) > "$PACS_WORK/proxy.log" 2>&1 &
  proxy=$!
  sleep 0.5
  echo "reader:secret-pw" > "$PACS_WORK/credentials"
  printf '[Quarvia%%20%%5B0%%5D%%20PACS]\nServer1=name=LOCAL|web=http://127.0.0.1:%s/dicom-web|ae=TESTPACS|host=127.0.0.1|port=%s|credentials=%s\n' \
    "$http" "$port" "$(pwd)/$PACS_WORK/credentials" > "$PACS_WORK/profile.ini"
  cat > "$PACS_WORK/demo.script" <<SCRIPT
pacs-query LOCAL dimse
pacs-retrieve LOCAL dimse 0 modality=CT
pacs-wait arrived 40 60000
series 0 0
cell 1
menu &Postprocessing\\Vexel 3D\\&Create
browser-drag 0 1
wait-idle 3000
screenshot $OUT/pacs-quarter.png
pacs-wait arrived 80 60000
wait 1000
screenshot $OUT/pacs-half.png
pacs-wait done 120000
wait-idle 10000
screenshot $OUT/pacs-all.png
pacs-status
SCRIPT
  "$BUILD/host/quarvia" --offscreen --grid 2x1 --window-size 1280x600 --plugins "$BUILD/plugins" \
    --profile "$PACS_WORK/profile.ini" --script "$PACS_WORK/demo.script" 2>"$PACS_WORK/host.log" |
    grep -E '^(pacs-retrieval|browser-drag)' | sed 's/^/demo: PACS: /' || true
  kill "$proxy" 2>/dev/null || true
  /usr/bin/python3 tests/pacs/orthanc_server.py stop "$PACS_WORK/orthanc"
  [ -f "$OUT/pacs-all.png" ] && echo "demo: wrote $OUT/pacs-quarter.png, pacs-half.png, pacs-all.png (rendering while retrieving)"
else
  echo "demo: no local PACS could be started (Orthanc): the retrieval pictures are skipped"
fi

if [ $copy_to_gallery -eq 1 ]; then
  mkdir -p "$GALLERY"
  for name in ssd-anterior ssd-orbit table-removed ssd-perspective mip cut-plane opq-cut captured host reading reading-oblique pacs-quarter pacs-half pacs-all; do
    [ -f "$OUT/$name.png" ] || continue
    cp "$OUT/$name.png" "$GALLERY/$name.png"
  done
  echo "demo: pictures copied to $GALLERY/"
fi

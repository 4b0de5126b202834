#!/bin/bash
# Two host processes in one session, each with a 3D window on the same
# phantom series. A cuts along an outline, cuts along a second one and
# undoes it, saves the segmentation as DICOM from the plug-in's menu,
# resets it, and drags the saved segmentation from its browser onto the
# window. A's picture after
# that must equal its picture before the save. A Shift double-click then
# removes what was kept, and undo brings it back. B's picture must follow
# A's at every step.
set -u
QUARVIA="$1"; PLUGINS="$2"; PHANTOM="$3"; PYTHON="$4"; DIFF="$5"; WORK="$6"
rm -rf "$WORK"; mkdir -p "$WORK/a-out" "$WORK/b-out"
W="$WORK"
. "$(dirname "$0")/two_hosts.sh"
"$PHANTOM" --out "$W/phantom" --size 128x128x80 > /dev/null || { echo "phantom failed"; exit 1; }
{
  echo "open $W/phantom"; echo "series 0 0"; echo "$CREATE"; echo "expect-window 0"
  echo "wait-file $W/b-ready.png 60000"; echo "wait-idle 20000"
  # In a parallel view, an outline round the left of the head keeps what
  # lies inside it (every step moves both ways: the outline takes only such).
  echo "command 0 32798"; echo "command 0 32786"; echo "mouse 0 move 465 335"
  drag right 465 335 462 354 455 372 443 388 428 400 409 407 390 410 371 407 352 400 337 388 325 372 318 354 315 335 318 316 325 298 337 282 352 270 371 263 390 260 409 263 428 270 443 282 455 297 462 316 464 336
  step cut
  # A second, smaller outline, then undo: the first cut's picture again.
  echo "mouse 0 move 415 335"
  drag right 415 335 413 346 408 356 401 363 391 368 380 370 369 368 359 363 352 356 347 346 345 335 347 324 352 314 359 307 369 302 380 300 391 302 401 307 408 314 413 324 414 336
  step cut2
  echo 'menu &Postprocessing\Vexel 3D\&Undo segmentation step'
  step cutundo
  echo "dialog label=Skin type=Tissue"
  echo 'menu &Postprocessing\Vexel 3D\Save segmentation as DICOM...'
  echo "command 0 32791"
  step reset
  echo "browser-drag object 0 0"
  step import
  # A Shift double-click removes what was kept; undo brings it back.
  echo "command 0 32784"
  echo "mouse 0 move 380 335"; echo "mouse 0 press 380 335 left shift"; echo "mouse 0 release 380 335 left shift"
  echo "mouse 0 double 380 335 left shift"; echo "mouse 0 release 380 335 left shift"
  step removed
  echo 'menu &Postprocessing\Vexel 3D\&Undo segmentation step'
  # The object tool tints the picture: the region tool again, as at the import.
  echo "command 0 32786"
  step undo
} > "$W/a.script"
{
  echo "open $W/phantom"; echo "series 0 0"; echo "$CREATE"; echo "expect-window 0"; echo "wait-idle 20000"
  echo "screenshot-cell 0 $W/b-ready.png"
  follow cut; follow cut2; follow cutundo; follow reset; follow import; follow removed; follow undo
} > "$W/b.script"

run_two_hosts
fail=0
same() {  # FIRST SECOND ALLOWED WHAT
  if ! report=$("$PYTHON" "$DIFF" "$W/$1.png" "$W/$2.png" "$3"); then echo "$4: $report"; fail=1
  else echo "$1 = $2: $report"; fi
}
same a-cut b-cut 0.004 "B does not follow the cut"
same a-reset b-reset 0 "B does not follow the reset"
same a-import b-import 0 "B does not follow the opened segmentation"
same a-cut a-import 0 "the opened segmentation does not show what was saved"
same a-undo b-undo 0 "B does not follow the undo"
same a-removed b-removed 0.004 "B does not follow the removal"
same a-cut2 b-cut2 0.004 "B does not follow the second outline"
same a-cutundo b-cutundo 0 "B does not follow the undo of the outline"
same a-cut a-cutundo 0 "undo does not bring back what the second outline took"
if "$PYTHON" "$DIFF" "$W/a-cut.png" "$W/a-cut2.png" 0 > /dev/null; then echo "the second outline changed nothing"; fail=1; fi
same a-import a-undo 0 "undo does not bring back what the removal took"
if "$PYTHON" "$DIFF" "$W/a-import.png" "$W/a-removed.png" 0 > /dev/null; then echo "the removal changed nothing"; fail=1; fi
if "$PYTHON" "$DIFF" "$W/a-cut.png" "$W/a-reset.png" 0 > /dev/null; then echo "the cut changed nothing"; fail=1; fi
segs=$(ls "$W"/a-out/*.dcm 2>/dev/null | wc -l)
[ "$segs" = 1 ] || { echo "A saved $segs files, expected the one segmentation"; fail=1; }
exit $fail

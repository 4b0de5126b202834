# Sourced by the two-host scenarios: W (the work folder), QUARVIA and PLUGINS
# set first. A writes its script with step, B with follow; run_two_hosts
# starts A listening and B joining it, and ends the scenario when either fails.
port=$(( 20000 + RANDOM % 20000 ))
CREATE='menu &Postprocessing\Vexel 3D\&Create'
drag() {  # BUTTON X0 Y0 X1 Y1 [...]: press, a small first move, the moves, release
  button=$1 x=$2 y=$3; shift 3
  echo "mouse 0 press $x $y $button"; echo "mouse 0 move $((x + 1)) $y $button"
  while [ $# -ge 2 ]; do x=$1 y=$2; shift 2; echo "mouse 0 move $x $y $button"; done
  echo "mouse 0 release $x $y $button"
}
step() {  # NAME: A shows its picture, then waits until B has taken its own
  echo "wait-idle 20000"; echo "screenshot-cell 0 $W/a-$1.png"; echo "wait-file $W/b-$1.png 60000"
}
follow() {  # NAME: after A's picture, B's own once the messages are in
  echo "wait-file $W/a-$1.png 60000"; echo "wait 1000"; echo "wait-idle 20000"
  echo "screenshot-cell 0 $W/b-$1.png"
}
run_two_hosts() {  # runs $W/a.script (hub) and $W/b.script (joiner)
  "$QUARVIA" --offscreen --no-docks --grid 1x1 --window-size 900x800 --plugins "$PLUGINS" --profile "$W/a.ini" \
    --output "$W/a-out" --collab-listen "$port" --script "$W/a.script" > "$W/a.log" 2>&1 &
  local a=$!
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  "$QUARVIA" --offscreen --no-docks --grid 1x1 --window-size 900x800 --plugins "$PLUGINS" --profile "$W/b.ini" \
    --output "$W/b-out" --collab-connect "127.0.0.1:$port" --script "$W/b.script" > "$W/b.log" 2>&1 &
  local b=$!
  wait $a; local ra=$?
  wait $b; local rb=$?
  if [ $ra != 0 ] || [ $rb != 0 ]; then
    echo "hosts failed: A $ra, B $rb"; tail -5 "$W/a.log" "$W/b.log"; exit 1
  fi
}

#!/bin/bash
# Host A listens, host B connects; each opens a probe window in cell 0. When
# B's window exists, A sends 50 messages of many sizes and "end"; B logs what
# its window receives. The log must hold every message, in order, intact.
set -u
QUARVIA="$1"; PLUGIN="$2"; WORK="$3"
rm -rf "$WORK"; mkdir -p "$WORK"
LOG="$WORK/b.log"
port=$(( 20000 + RANDOM % 20000 ))
printf 'menu Probe\\&Open\nwait-file %s 30000\nmenu Probe\\&Send\nwait-file %s.done 30000\n' "$LOG" "$LOG" > "$WORK/a.script"
printf 'menu Probe\\&Open\nwait-file %s.done 30000\n' "$LOG" > "$WORK/b.script"

PROBE_LOG="$WORK/a.log" "$QUARVIA" --offscreen --plugins "$PLUGIN" --profile "$WORK/a.ini" \
  --collab-listen "$port" --script "$WORK/a.script" 2> "$WORK/a.err" &
a=$!
# B may connect once A listens.
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
PROBE_LOG="$LOG" "$QUARVIA" --offscreen --plugins "$PLUGIN" --profile "$WORK/b.ini" \
  --collab-connect "127.0.0.1:$port" --script "$WORK/b.script" 2> "$WORK/b.err" &
b=$!
wait $a; ra=$?
wait $b; rb=$?
if [ $ra != 0 ] || [ $rb != 0 ]; then
  echo "hosts failed: A $ra, B $rb"; cat "$WORK/a.err" "$WORK/b.err"; exit 1
fi
/usr/bin/python3 - "$LOG" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().split(b"\n")
assert lines[-1] == b"", "log does not end with a line feed"
lines = lines[:-1]
assert len(lines) == 51, f"expected 51 messages, got {len(lines)}"
for k in range(50):
    expected = b"message %d " % k + bytes([ord("a") + k % 26]) * ((k * 7919) % 200000)
    assert lines[k] == expected, f"message {k} out of order or damaged"
assert lines[50] == b"end", "the last message is not 'end'"
print("51 messages in order and intact")
PY

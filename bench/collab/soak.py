#!/usr/bin/python3
"""Collaboration soak: two reference hosts on loopback, each with a 3D window
on the phantom in its only cell. Host A (listening, holding the control) is
driven by a long random script of valid input: tool and renderer commands,
drags with every tool, wheel notches, cut planes made, moved and deleted,
flood fills; host B follows. Afterwards both views are put in the standard
pose and compared, and so are the windows' saved states (every state line,
the segmentation history among them); a third host restores A's saved
layout and its picture is compared with A's (the saved road). The hosts'
memory is sampled from /proc while they run.

With --key the session is keyed (TLS). Then the same with random invalid
bytes (always keyless: the raw peer speaks no TLS): a raw peer joins and
sends garbage frames and malformed state texts to the window's cell while
A keeps driving; both hosts must survive and B must still follow.

Not part of the test run (minutes): bench/collab/soak.py BUILD [--minutes M]
"""

import argparse
import os
import random
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

CREATE = "menu &Postprocessing\\Vexel 3D\\&Create"
COMMANDS = [32795, 32796, 32797, 32798, 32799, 32775, 32774, 32776, 32808, 32807, 32810, 32779, 32780,
            32793, 5016, 5099, 32777, 32778, 32781, 32782, 32790, 32784, 32788, 32786]
# The cell's tool bar at the bottom of its picture.
TOOLBAR_HEIGHT = 40
RESET_VIEW, RESET_SEGMENTATION, OBJECT_TOOL, ISO_TOOL = 32789, 32791, 32784, 32807


def rss_kib(pid):
    try:
        for line in open(f"/proc/{pid}/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def drag(rng, button, lines):
    x, y = rng.randint(150, 750), rng.randint(100, 650)
    lines.append(f"mouse 0 press {x} {y} {button}")
    lines.append(f"mouse 0 move {x + 1} {y} {button}")
    for _ in range(rng.randint(1, 6)):
        x = max(100, min(800, x + rng.randint(-40, 40)))
        y = max(60, min(700, y + rng.randint(-40, 40)))
        lines.append(f"mouse 0 move {x} {y} {button}")
    lines.append(f"mouse 0 release {x} {y} {button}")


def leader_script(rng, steps, work, series):
    lines = [f"open {series}", "series 0 0", CREATE, "expect-window 0",
             f"wait-file {work}/b-ready.png 60000", "wait-idle 20000"]
    for i in range(steps):
        r = rng.random()
        if r < 0.25:
            lines.append(f"command 0 {rng.choice(COMMANDS)}")
        elif r < 0.80:
            drag(rng, rng.choice(["left", "right"]), lines)
        elif r < 0.92:
            lines.append(f"wheel 0 {rng.choice([-240, -120, 120, 240])}")
        elif r < 0.97:
            lines.append(f"command 0 {OBJECT_TOOL}")
            x, y = rng.randint(200, 700), rng.randint(150, 600)
            lines += [f"mouse 0 move {x} {y}", f"mouse 0 double {x} {y} left" + (" shift" if rng.random() < 0.5 else ""),
                      f"mouse 0 release {x} {y} left"]
        else:
            lines.append(f"command 0 {RESET_SEGMENTATION}")
        if i % 200 == 199:
            lines.append(f"screenshot-cell 0 {work}/a-progress.png")
    # A picture with something in it: shaded surface, parallel, standard
    # pose, no cut planes (the segmentation stays).
    lines += [f"command 0 {ISO_TOOL}", "command 0 32796", "command 0 32798", f"command 0 {RESET_VIEW}",
              "command 0 32790", "wait-idle 20000",
              f"screenshot-cell 0 {work}/a-final.png", f"save-layout {work}/a-layout.json",
              f"wait-file {work}/b-final.png 120000"]
    return lines


def follower_script(work, series):
    return [f"open {series}", "series 0 0", CREATE, "expect-window 0", "wait-idle 20000",
            f"screenshot-cell 0 {work}/b-ready.png", f"wait-file {work}/a-final.png 3600000", "wait 2000",
            "wait-idle 20000", f"save-layout {work}/b-layout.json", f"screenshot-cell 0 {work}/b-final.png"]


def state_lines(layout):
    """The state lines of the 3D window a saved layout holds."""
    import json
    for cell in json.load(open(layout))["cells"]:
        if cell.get("state"):
            return [line for line in cell["state"].split("\n") if line.startswith(("J_", "cutpln"))]
    return []


def compare_states(a_layout, b_layout):
    a, b = state_lines(a_layout), state_lines(b_layout)
    differing = [f"A {x[:80]!r} B {y[:80]!r}" for x, y in zip(a, b) if x != y]
    if len(a) != len(b):
        differing.append(f"{len(a)} against {len(b)} lines")
    return "state texts equal" if not differing else "state texts differ: " + "; ".join(differing[:3])


def restore_saved(build, series, work):
    """A third host opens the series and A's saved layout: the saved road."""
    script = [f"open {series}", f"load-layout {work}/a-layout.json", "expect-window 0", "wait-idle 20000",
              "wait 2000", "wait-idle 20000", f"screenshot-cell 0 {work}/c-final.png"]
    open(f"{work}/c.script", "w").write("\n".join(script) + "\n")
    common = ["--offscreen", "--no-docks", "--grid", "1x1", "--window-size", "900x800",
              "--plugins", f"{build}/plugins/libvexel3d.so"]
    done = subprocess.run([f"{build}/host/quarvia", *common, "--profile", f"{work}/c.ini", "--script",
                           f"{work}/c.script"], stdout=open(f"{work}/c.log", "w"), stderr=subprocess.STDOUT)
    if done.returncode != 0 or not os.path.exists(f"{work}/c-final.png"):
        return f"restoring A's layout failed (exit {done.returncode}, see {work}/c.log)"
    return "restored from A's layout: " + compare(f"{work}/a-final.png", f"{work}/c-final.png")


def garbage_peer(port, stop_at, rng):
    """A raw peer sending frames of random bytes and malformed state texts."""
    sent = 0
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=5)
        # Past the handshake first (the keyless answer), or nothing is read.
        head = s.recv(4)
        s.recv(struct.unpack(">I", head)[0])
        answer = struct.pack(">Bi", 4, 0) + struct.pack(">I", 0) + struct.pack(">I", 0)
        s.sendall(struct.pack(">I", len(answer)) + answer)
    except (OSError, struct.error):
        return 0
    texts = [b"J_justspec dummy\nJ_cutplanes 99\n", b"J_justspec dummy\nJ_camvectors nan 1 2 3 4 5\n",
             b"J_justspec dummy\nJ_seghistory SEGROIBEGIN 0 0 1 1 99999 0 5J\n",
             b"J_justspec dummy\nJ_renderer 7\nJ_wwwc -5 99999999999\n"]
    while time.time() < stop_at:
        if rng.random() < 0.5:
            payload = rng.choice(texts)
        else:
            payload = bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 3000)))
        plugin = b"vexel3d" if rng.random() < 0.9 else bytes(rng.getrandbits(8) for _ in range(8))
        body = struct.pack(">Bi", 1, 0) + struct.pack(">I", len(plugin)) + plugin + struct.pack(">I", len(payload)) + payload
        try:
            s.sendall(struct.pack(">I", len(body)) + body)
        except OSError:
            break
        sent += 1
        time.sleep(0.002)
    s.close()
    return sent


def compare(first, second):
    """Differing pixels of the 3D view and of the tool bar below it."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tests/host"))
    import png_diff
    w, h, bpp, a = png_diff.pixels(first)
    _, _, _, b = png_diff.pixels(second)
    view = bar = 0
    for y in range(h):
        if a[y] != b[y]:
            n = sum(1 for x in range(w) if a[y][x * bpp:(x + 1) * bpp] != b[y][x * bpp:(x + 1) * bpp])
            if y < h - TOOLBAR_HEIGHT:
                view += n
            else:
                bar += n
    return f"{view} view pixels and {bar} tool-bar pixels differ"


def run(build, series, minutes, work, invalid, rng, key=None):
    os.makedirs(work, exist_ok=True)
    for f in os.listdir(work):
        if f.endswith(".png"):
            os.remove(os.path.join(work, f))
    steps = int(minutes * 60 * 12)  # about 12 script steps a second
    open(f"{work}/a.script", "w").write("\n".join(leader_script(rng, steps, work, series)) + "\n")
    open(f"{work}/b.script", "w").write("\n".join(follower_script(work, series)) + "\n")
    port = rng.randint(20000, 40000)
    quarvia = f"{build}/host/quarvia"
    plugin = f"{build}/plugins/libvexel3d.so"
    common = ["--offscreen", "--no-docks", "--grid", "1x1", "--window-size", "900x800", "--plugins", plugin]
    if key:
        open(f"{work}/session.key", "w").write(key + "\n")
        common += ["--collab-key-file", f"{work}/session.key"]
    a = subprocess.Popen([quarvia, *common, "--profile", f"{work}/a.ini", "--collab-listen", str(port),
                          "--script", f"{work}/a.script"], stdout=open(f"{work}/a.log", "w"), stderr=subprocess.STDOUT)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.1)
    b = subprocess.Popen([quarvia, *common, "--profile", f"{work}/b.ini", "--collab-connect", f"127.0.0.1:{port}",
                          "--script", f"{work}/b.script"], stdout=open(f"{work}/b.log", "w"), stderr=subprocess.STDOUT)
    start = time.time()
    while not os.path.exists(f"{work}/b-ready.png") and time.time() - start < 120:
        time.sleep(0.2)
    rss_start = (rss_kib(a.pid), rss_kib(b.pid))
    garbage = [0]
    sender = None
    if invalid:
        stop_at = time.time() + minutes * 60
        sender = threading.Thread(target=lambda: garbage.__setitem__(0, garbage_peer(port, stop_at, rng)))
        sender.start()
    peak = [0, 0]
    rss_end = rss_start
    while a.poll() is None or b.poll() is None:
        now = (rss_kib(a.pid), rss_kib(b.pid))
        peak = [max(peak[0], now[0]), max(peak[1], now[1])]
        if now[0] and now[1]:
            rss_end = now
        time.sleep(0.5)
    if sender:
        sender.join()
    garbage = garbage[0]
    elapsed = time.time() - start
    lines = sum(1 for line in open(f"{work}/a.log") if line.startswith(("mouse", "command", "wheel")))
    diff = compare(f"{work}/a-final.png", f"{work}/b-final.png")
    states = compare_states(f"{work}/a-layout.json", f"{work}/b-layout.json")
    saved = restore_saved(build, series, work)
    print(f"{'invalid' if invalid else 'valid'}{' (TLS)' if key else ''}: {elapsed:.0f} s, A exit {a.returncode}, B exit {b.returncode}; "
          f"{lines} inputs on A ({lines / elapsed:.1f}/s), {garbage} garbage frames; "
          f"RSS A {rss_start[0] // 1024}->{rss_end[0] // 1024} MiB (peak {peak[0] // 1024}), "
          f"B {rss_start[1] // 1024}->{rss_end[1] // 1024} MiB (peak {peak[1] // 1024}); "
          f"final pictures: {diff}; {states}; {saved}")
    return a.returncode == 0 and b.returncode == 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--minutes", type=float, default=10)
    p.add_argument("--series", default="")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--key", default="", help="run the valid phase in a keyed (TLS) session with this key")
    args = p.parse_args()
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="soak-")
    series = args.series
    if not series:
        series = f"{work}/phantom"
        subprocess.run([f"{args.build}/tools/phantom/phantom", "--out", series, "--size", "128x128x80"],
                       check=True, stdout=subprocess.DEVNULL)
    ok = run(args.build, series, args.minutes, f"{work}/valid", False, rng, args.key or None)
    ok = run(args.build, series, args.minutes, f"{work}/invalid", True, rng) and ok
    print(f"work folder: {work}")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())

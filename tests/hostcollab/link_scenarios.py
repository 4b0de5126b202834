"""End-to-end checks of the reference host's collaboration link: real host
processes on loopback with the link probe plug-in, plus raw peers speaking
the link's frames from here (to authenticate and then misbehave).

    link_scenarios.py SCENARIO QUARVIA PROBE_PLUGIN WORKDIR
"""
import hashlib
import os
import shutil
import socket
import struct
import subprocess
import sys
import threading
import time

DATA, CONTROL, CHALLENGE, ANSWER, WELCOME, REFUSED = 1, 2, 3, 4, 5, 6
MARKER = b"J_justspec dummy\n"


# ---- the link's frames -------------------------------------------------

def frame(kind, payload=b"", plugin=b"", cell=0):
    body = struct.pack(">BiI", kind, cell, len(plugin)) + plugin + struct.pack(">I", len(payload)) + payload
    return struct.pack(">I", len(body)) + body


def read_exact(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise EOFError("connection closed")
        data += chunk
    return data


def read_frame(sock):
    (length,) = struct.unpack(">I", read_exact(sock, 4))
    body = read_exact(sock, length)
    kind, cell, id_len = struct.unpack(">BiI", body[:9])
    plugin = body[9:9 + id_len]
    (pay_len,) = struct.unpack(">I", body[9 + id_len:13 + id_len])
    return kind, plugin, cell, body[13 + id_len:13 + id_len + pay_len]


def connect(port, rcvbuf=None):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if rcvbuf:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    sock.settimeout(15)
    sock.connect(("127.0.0.1", port))
    return sock


def join_keyless(port, rcvbuf=None):
    """A raw peer of a keyless session: it answers the empty challenge.
    (A keyed session is TLS with a pre-shared key, which this Python's ssl
    module cannot speak; the in-process link tests drive keyed sessions.)"""
    sock = connect(port, rcvbuf)
    kind, _, _, nonce = read_frame(sock)
    check(kind == CHALLENGE and nonce == b"", "no keyless challenge")
    sock.sendall(frame(ANSWER, b""))
    kind, _, _, welcome = read_frame(sock)
    check(kind == WELCOME and welcome == b"", "not welcomed")
    return sock


def closed_by_peer(sock, seconds):
    """True when the other side closes the connection within SECONDS (what
    it still sends is read and dropped)."""
    sock.settimeout(seconds)
    end = time.time() + seconds
    try:
        while time.time() < end:
            if not sock.recv(1 << 20):
                return True
    except (ConnectionResetError, BrokenPipeError):
        return True
    except socket.timeout:
        return False
    return False


# ---- host processes ------------------------------------------------------

class Host:
    def __init__(self, ctx, name, args, script, env=None):
        self.name = name
        self.err_path = os.path.join(ctx.work, name + ".err")
        self.log = os.path.join(ctx.work, name + ".log")
        script_path = os.path.join(ctx.work, name + ".script")
        with open(script_path, "w") as f:
            f.write(script)
        environment = dict(os.environ)
        environment.pop("QUARVIA_COLLAB_KEY", None)
        environment.update({"PROBE_LOG": self.log, "QT_QPA_PLATFORM": "offscreen"})
        # Under AddressSanitizer freed blocks are held back; memory is measured without that.
        environment["ASAN_OPTIONS"] = (environment.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=1").lstrip(":")
        environment.update(env or {})
        self.process = subprocess.Popen(
            [ctx.quarvia, "--offscreen", "--plugins", ctx.probe, "--profile", os.path.join(ctx.work, name + ".ini"),
             "--script", script_path] + args,
            stdout=subprocess.DEVNULL, stderr=open(self.err_path, "w"), env=environment)
        ctx.hosts.append(self)

    def err(self):
        with open(self.err_path, errors="replace") as f:
            return f.read()

    def finish(self, expected=0, timeout=60):
        try:
            code = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            fail(f"{self.name} did not finish:\n{self.err()}")
        check(code == expected, f"{self.name} exited with {code}, expected {expected}:\n{self.err()}")

    def wait_for_err(self, text, seconds=15):
        end = time.time() + seconds
        while time.time() < end:
            if text in self.err():
                return
            time.sleep(0.05)
        fail(f"{self.name} never said {text!r}:\n{self.err()}")

    def messages(self):
        """What the probe window received: (length, hash, bytes or None) in order."""
        out = []
        with open(self.log, "rb") as f:
            data = f.read()
        at = 0
        while at < len(data):
            end = data.index(b"\n", at)
            length, digest = data[at:end].split(b" ")
            length = int(length)
            logged = length <= 65536
            body = data[end + 1:end + 1 + (length if logged else 0)]
            out.append((length, digest.decode(), body if logged else None))
            at = end + 1 + (length if logged else 0) + 1
        return out


class Context:
    def __init__(self, quarvia, probe, work):
        self.quarvia, self.probe, self.work = quarvia, probe, work
        self.hosts = []
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)

    def path(self, name):
        return os.path.join(self.work, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def touch(self, name):
        self.write(name, b"")

    def messages_file(self, name, messages):
        return self.write(name, b"".join(b"%d\n" % len(m) + m for m in messages))

    def close(self):
        for host in self.hosts:
            if host.process.poll() is None:
                host.process.kill()
                host.process.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    fail(f"nothing listens on {port}")


def wait_file(path, seconds=30):
    end = time.time() + seconds
    while not os.path.exists(path):
        check(time.time() < end, f"no {path} in time")
        time.sleep(0.05)


def digest(data):
    return hashlib.sha256(data).hexdigest()


def fail(why):
    raise AssertionError(why)


def check(condition, why):
    if not condition:
        fail(why)


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


# ---- scenarios -------------------------------------------------------------

def wrong_key(ctx):
    """A wrong key is refused with a clear message on both sides; the right
    one (from the environment on the joining side) opens the session; a
    joiner without a key, a hub without a key on a non-loopback address and
    a hub that cannot prove the key are all turned down."""
    port = free_port()
    right = ctx.write("right.key", b"correct horse battery\n")
    wrong = ctx.write("wrong.key", b"incorrect horse\n")
    ctx.messages_file("a.send.0", [b"hello with the key", b"end"])
    hub = Host(ctx, "a", ["--collab-listen", f"127.0.0.1:{port}", "--collab-key-file", right],
               "menu Probe\\&Open\nwait-peers 1 30000\nwait-file %s 30000\nmenu Probe\\&Send\nwait-file %s 30000\n"
               % (ctx.path("c.log"), ctx.path("c.log.done")),
               env={"PROBE_SEND": ctx.path("a.send")})
    wait_listening(port)

    intruder = Host(ctx, "b", ["--collab-connect", f"127.0.0.1:{port}", "--collab-key-file", wrong], "quit\n")
    intruder.finish()
    check(f"refused by the hub at 127.0.0.1:{port}: wrong session key" in intruder.err(), intruder.err())
    hub.wait_for_err("refused: wrong session key")

    keyless = Host(ctx, "d", ["--collab-connect", f"127.0.0.1:{port}"], "quit\n")
    keyless.finish()
    check("asks for a session key" in keyless.err(), keyless.err())

    friend = Host(ctx, "c", ["--collab-connect", f"127.0.0.1:{port}"],
                  "expect-control no\nmenu Probe\\&Open\nwait-file %s 30000\n" % ctx.path("c.log.done"),
                  env={"QUARVIA_COLLAB_KEY": "correct horse battery"})
    friend.finish()
    hub.finish()
    check([m[2] for m in friend.messages()] == [b"hello with the key", b"end"], str(friend.messages()))
    check("joined the session" in hub.err(), hub.err())

    # Beyond loopback a key is required; nothing is opened without one.
    open_hub = Host(ctx, "e", ["--collab-listen", f"0.0.0.0:{free_port()}"], "quit\n")
    open_hub.finish()
    check("a session key is required" in open_hub.err(), open_hub.err())

    # A hub that does not know the key is not trusted by a joiner that does:
    # the joiner opens with TLS and goes no further with what is not TLS.
    fake = socket.socket()
    fake.bind(("127.0.0.1", 0))
    fake.listen(1)
    fake_port = fake.getsockname()[1]
    joiner = Host(ctx, "f", ["--collab-connect", f"127.0.0.1:{fake_port}", "--collab-key-file", right], "quit\n")
    conn, _ = fake.accept()
    conn.settimeout(15)
    hello = conn.recv(5)
    check(hello[:2] == b"\x16\x03", f"the joiner did not open with TLS: {hello!r}")
    conn.sendall(frame(CHALLENGE, os.urandom(32)))
    joiner.finish()
    check("wrong session key, or the hub asks for none" in joiner.err(), joiner.err())
    conn.close()
    fake.close()
    print("wrong key refused on both sides; right key, key rules and TLS hold")


def slow_reader(ctx):
    """Hub A, hosts B and C, and a raw peer S that joins and then
    stops reading. B floods at the pace C acknowledges; A and C get every
    message in order and intact, S is dropped with a message, and A's memory
    stays bounded."""
    count, size = 100, 1 << 20
    bound_mib = 40
    port = free_port()
    a_ready, done = ctx.path("a.ready"), ctx.path("c.log.done")
    hub = Host(ctx, "a", ["--collab-listen", str(port)],
               f"menu Probe\\&Open\nwait-peers 3 30000\nwait-file {ctx.path('b.log')} 30000\n"
               f"wait-file {ctx.path('c.log')} 30000\ntouch {a_ready}\nwait-file {done} 60000\n")
    wait_listening(port)
    sender = Host(ctx, "b", ["--collab-connect", f"127.0.0.1:{port}"],
                  f"menu Probe\\&Open\nwait-file {a_ready} 30000\nmenu Probe\\&Flood\nwait-file {done} 60000\n",
                  env={"PROBE_FLOOD": f"{count} {size} 4"})
    receiver = Host(ctx, "c", ["--collab-connect", f"127.0.0.1:{port}"],
                    f"menu Probe\\&Open\nwait-file {done} 60000\n", env={"PROBE_ACK": "1"})
    slow = join_keyless(port, rcvbuf=16384)

    samples = []
    stop = threading.Event()

    def sample():
        while not stop.is_set():
            samples.append((os.path.exists(a_ready), rss_kib(hub.process.pid)))
            time.sleep(0.02)

    sampler = threading.Thread(target=sample)
    sampler.start()
    try:
        receiver.finish()
        sender.finish()
        hub.finish()
    finally:
        stop.set()
        sampler.join()

    for host in (hub, receiver):
        got = [m for m in host.messages() if not (m[2] or b"").startswith(b"ack ")]
        check(len(got) == count + 1, f"{host.name} got {len(got)} messages, expected {count + 1}")
        for k in range(count):
            text = b"flood %d " % k
            expected = text + bytes([ord("a") + k % 26]) * (size - len(text))
            check(got[k][0] == size and got[k][1] == digest(expected), f"{host.name}: message {k} out of order or damaged")
        check(got[count][2] == b"end", f"{host.name}: the last message is not 'end'")
    before = [kib for ready, kib in samples if not ready and kib]
    after = [kib for ready, kib in samples if ready and kib]
    check(before and after, "no memory samples")
    baseline, peak = before[-1], max(after)
    print(f"hub memory: {baseline / 1024:.1f} MiB before the flood, peak {peak / 1024:.1f} MiB during "
          f"{count} MiB relayed (bound: +{bound_mib} MiB)")
    check(peak - baseline < bound_mib * 1024, f"the hub grew by {(peak - baseline) / 1024:.1f} MiB")
    check(hub.err().count("dropped: it does not read what is sent to it") == 1, hub.err())
    check(closed_by_peer(slow, 10), "the slow reader was not dropped")


def limits(ctx):
    """At most 8 peers; a stranger that never answers the challenge is
    dropped after the handshake time and hears nothing meanwhile; one that
    sends data before answering is dropped at once and not relayed."""
    port = free_port()
    done = ctx.path("done")
    hub = Host(ctx, "a", ["--collab-listen", str(port)],
               f"menu Probe\\&Open\nwait-peers 8 30000\ntouch {ctx.path('a.full')}\nwait-file {done} 60000\n")
    wait_listening(port)
    peers = [join_keyless(port) for _ in range(8)]
    # The ninth is challenged like any connection; once it answers it is
    # told that the session is full.
    ninth = connect(port)
    kind, _, _, _ = read_frame(ninth)
    check(kind == CHALLENGE, f"ninth peer got {kind}")
    ninth.sendall(frame(ANSWER, b""))
    kind, _, _, reason = read_frame(ninth)
    check(kind == REFUSED and reason == b"the session is full (8 peers)", f"ninth peer got {kind} {reason!r}")
    check(closed_by_peer(ninth, 5), "the ninth peer was not closed")
    hub.wait_for_err("refused: the session is full (8 peers)")
    wait_file(ctx.path("a.full"))

    peers.pop().close()
    time.sleep(0.5)
    silent = connect(port)
    kind, _, _, _ = read_frame(silent)
    check(kind == CHALLENGE, "the stranger got no challenge")
    started = time.time()
    # What an admitted peer sends meanwhile reaches the others, not the stranger.
    peers[0].sendall(frame(DATA, b"for admitted peers", b"Link probe plug-in for host tests", 0))
    kind, _, _, payload = read_frame(peers[1])
    check(kind == DATA and payload == b"for admitted peers", "an admitted peer missed a message")
    silent.settimeout(9)
    try:
        extra = silent.recv(1 << 16)
    except (ConnectionResetError, socket.timeout):
        extra = b""
    waited = time.time() - started
    check(extra == b"", f"the stranger heard {len(extra)} bytes")
    check(2 <= waited <= 6.5, f"the stranger was dropped after {waited:.1f} s")
    hub.wait_for_err("dropped: no handshake within 3 s")

    rude = connect(port)
    read_frame(rude)
    rude.sendall(frame(DATA, b"unproven words", b"Link probe plug-in for host tests", 0))
    check(closed_by_peer(rude, 5), "a peer sending data before the key was not dropped")
    hub.wait_for_err("sent bytes that are not collaboration frames")
    ctx.touch("done")
    hub.finish()
    for sock in peers:
        sock.close()
    received = [m[2] for m in hub.messages()]
    check(received == [b"for admitted peers"], f"the hub's window got {received}")
    print(f"ninth peer refused, silent stranger dropped after {waited:.1f} s, unproven data not relayed")


def merged(messages):
    """The merged state a late joiner should get, computed here on its own."""
    order, latest = [], {}
    for message in messages:
        if not message.startswith(MARKER):
            continue
        for line in message[len(MARKER):].split(b"\n")[:-1]:
            if b" " not in line:
                continue
            keyword = line[:line.index(b" ") + 1]
            if keyword in (b"J_capture ", b"J_putunder ", b"J_justspec "):
                continue
            if keyword == b"J_cutplanes ":
                for k in [k for k in order if k.startswith(b"cutpln") and k.endswith(b"data ")]:
                    order.remove(k)
                    del latest[k]
            if keyword not in latest:
                order.append(keyword)
            latest[keyword] = line + b"\n"
    return MARKER + b"".join(latest[k] for k in order)


def rejoin(ctx):
    """B drives and leaves holding the control: the hub takes it back. C
    joins later and is sent the merged latest state of what B and the hub
    sent, without captures, then goes on receiving. D joins at its start,
    before it has a window, and its window gets the state when it opens."""
    port = free_port()
    b_messages = [
        MARKER + b"J_camera 0 0.375000 0.492063 220.000000 0.500000 0.400000 30.000000\nJ_renderer 0\nJ_frame 1\n"
                 b"J_tumbling 1\nJ_threshold -300\nJ_wwwc 1000 0\n",
        MARKER + b"J_cutplanes 2\ncutpln0data 1.000000 2.000000 3.000000 0.000000 0.000000 1.000000\n"
                 b"cutpln1data 4.000000 5.000000 6.000000 0.000000 1.000000 0.000000\nJ_cutplaneedit 1 1\n",
        MARKER + b"J_capture 512 512 1.2.3 1.2.3.4 1.2.3.5 900\nJ_renderer 1\n",
        b"not a state text\n",
        MARKER + b"J_cutplanes 1\ncutpln0data 7.000000 8.000000 9.000000 1.000000 0.000000 0.000000\n"
                 b"J_cutplaneedit 0 1\nJ_seghistory SEGBEGIN 1.000000 2.000000 3.000000 1 1 0 0 0 16383JSEGENDJ\n",
        MARKER + b"J_putunder x\nJ_threshold 150\nJ_wwwc 400 40",  # the last line is cut short
        b"end",
    ]
    a_messages = [MARKER + b"J_renderer 2\nJ_pointedvalue 35\n"]
    ctx.messages_file("b.send.0", b_messages)
    ctx.messages_file("a.send.0", a_messages)
    ctx.messages_file("a.send.1", [b"end"])
    back, c_done = ctx.path("a.back"), ctx.path("c.log.done")
    hub = Host(ctx, "a", ["--collab-listen", str(port)],
               f"menu Probe\\&Open\nwait-peers 1 30000\nwait-file {ctx.path('a.log.done')} 30000\n"
               f"menu Probe\\&Send\npass-control\nexpect-control no\nwait-peers 0 30000\nwait-control 5000\n"
               f"touch {back}\nwait-peers 1 30000\nmenu Probe\\&Send\nwait-file {c_done} 30000\n"
               f"wait-file {ctx.path('d.log.1')} 30000\n",
               env={"PROBE_SEND": ctx.path("a.send")})
    wait_listening(port)
    driver = Host(ctx, "b", ["--collab-connect", f"127.0.0.1:{port}"],
                  "menu Probe\\&Open\nwait-peers 1 5000\nexpect-control no\nmenu Probe\\&Send\nwait-control 30000\n",
                  env={"PROBE_SEND": ctx.path("b.send")})
    driver.finish()
    late = Host(ctx, "c", [], f"menu Probe\\&Open\nwait-file {back} 30000\ncollab-join 127.0.0.1:{port}\n"
                             f"wait-file {c_done} 30000\ncollab-leave\n")
    late.finish()
    fresh = Host(ctx, "d", ["--collab-connect", f"127.0.0.1:{port}"],
                 f"menu Probe\\&Open\nwait-file {ctx.path('d.log.1')} 10000\nwait 300\n")
    fresh.finish()
    hub.finish()
    got = [m[2] for m in late.messages()]
    expected = merged(b_messages + a_messages)
    check(b"J_capture" not in expected and b"cutpln1data" not in expected and b"J_wwwc 1000 0" in expected,
          "the expected state is not what this test means")
    check(got == [expected, b"end"], f"the late joiner got {got!r}\nexpected {[expected, b'end']!r}")
    hub.wait_for_err("control returned to this host")
    check([m[2] for m in fresh.messages()] == [expected], f"the window opened after joining got {fresh.messages()!r}")
    print("late joiner got the merged state:\n" + expected.decode())


def menus(ctx):
    """As a user does it, from the Collaboration menu of two real hosts with
    a session key: host, join, pass control and leave; the indicator names
    the driver on both sides; joining where nobody listens is a message and
    the host goes on."""
    port = free_port()
    key = ctx.write("menu.key", b"menu session key\n")
    hub = Host(ctx, "a", [],
               f"expect-collab Not in a collaboration session\n"
               f"dialog address=127.0.0.1 port={port} key-file={key}\n"
               "menu &Collaboration\\&Host a Session...\n"
               "expect-collab Hosting a session (0 peers): this host drives\n"
               "wait-peers 1 30000\nexpect-collab Hosting a session (1 peer): this host drives\n"
               f"wait-file {ctx.path('joined')} 30000\n"
               "menu &Collaboration\\&Pass Control\nexpect-collab : peer 127.0.0.1:\n"
               f"touch {ctx.path('passed')}\n"
               "wait-control 30000\nexpect-collab this host drives\nwait-peers 0 30000\n")
    wait_listening(port)
    follower = Host(ctx, "b", [],
                    "menu Probe\\&Open\n"
                    f"dialog address=127.0.0.1:{port} key-file={key}\n"
                    "menu &Collaboration\\&Join a Session...\nexpect-collab In a session: another host drives\n"
                    "mouse 0 press 10 10 left\n"
                    f"touch {ctx.path('joined')}\nwait-file {ctx.path('passed')} 30000\nwait-control 30000\n"
                    "expect-collab In a session: this host drives\n"
                    "menu &Collaboration\\&Leave Session\nexpect-collab Not in a collaboration session\n")
    follower.finish()
    hub.finish()
    check("control returned to this host" in hub.err(), hub.err())
    check("input ignored: another host drives the collaboration session" in follower.err(), follower.err())
    lost = Host(ctx, "c", [],
                f"dialog address=127.0.0.1:{free_port()}\nmenu &Collaboration\\&Join a Session...\n"
                "expect-collab Not in a collaboration session\n")
    lost.finish()
    check("[message box] Collaboration: " in lost.err(), lost.err())
    # A session whose hub has gone is over for the joiner: Host and Join again.
    port = free_port()
    short = Host(ctx, "e", ["--collab-listen", str(port)], "wait-peers 1 30000\nwait 300\n")
    wait_listening(port)
    left = Host(ctx, "f", ["--collab-connect", f"127.0.0.1:{port}"],
                f"wait-file {ctx.path('e.gone')} 30000\nwait 1000\nexpect-collab Not in a collaboration session\n")
    short.finish()
    ctx.touch("e.gone")
    left.finish()
    print("hosted, joined, passed the control and left from the menus; a failed join is a message")


SCENARIOS = {
    "WrongSessionKeyIsRefusedOnBothSidesAndTheRightOneWorks": wrong_key,
    "SlowReaderIsDroppedWhileTheOthersKeepInStep": slow_reader,
    "NinthPeerIsRefusedAndStrangersAreDroppedUnheard": limits,
    "RejoiningPeerReceivesTheMergedState": rejoin,
    "MenusHostJoinPassControlAndLeave": menus,
}

if __name__ == "__main__":
    name, quarvia, probe, work = sys.argv[1:5]
    context = Context(quarvia, probe, work)
    try:
        SCENARIOS[name](context)
    finally:
        context.close()

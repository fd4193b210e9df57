#!/usr/bin/env python3
"""velkctl bridge through a real Mosquitto broker, under Wine.

Each bus name stands for a machine. A bridge is the docs' one-liner:
    mosquitto_sub -t 'velk/#' | velkctl bridge --origin NAME | mosquitto_pub -l -t velk/NAME
joined by pipes made here. The broker is started here on 127.0.0.1 with a
free port and a config file of its own, and stopped at the end. Senders are
velkctl replay (exact bytes), receivers velkctl monitor --jsonl.

Usage: bridge_test.py BIN_DIR SCENARIO   (scenarios: see SCENARIOS at the end)
"""
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "."
WORK = tempfile.mkdtemp(prefix="bridge-test-")
ALL_TYPES = "0x0080FF00"
STARTED = []          # every process started here, ended at exit


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_until(predicate, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    raise Failure("timed out after %d s waiting for %s" % (seconds, what))


def wine_loader(exe):
    """The loader that runs exe as this very process (so signals reach it)."""
    with open(exe, "rb") as image:
        header = image.read(4096)
    pe = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[pe + 4:pe + 6], "little")
    wine64 = "/usr/lib/wine/wine64"
    if machine == 0x8664 and os.path.exists(wine64):
        return wine64
    return os.environ.get("CORVANE_WINE", "wine")


def start(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    STARTED.append(process)
    return process


def end_started():
    """Kills whatever started here still runs, the last started first."""
    for process in reversed(STARTED):
        if process.poll() is None:
            process.kill()
            process.wait()


def program(name, bus, args, **kwargs):
    """Starts the Windows program BIN/name on bus."""
    exe = os.path.join(BIN, name)
    env = dict(os.environ, VELK_BUS_NAME=bus, VELK_LANG="en")   # the English lines; Chinese is tested apart
    return start([wine_loader(exe), exe] + args, cwd=BIN, env=env, **kwargs)


def velkctl(bus, args, **kwargs):
    return program("velkctl.exe", bus, args, **kwargs)


def run_velkctl(bus, args, timeout=60, stdin_bytes=None):
    """Runs velkctl to its end: exit code, stdout, stderr. Through files, not
    pipes: a Wine helper started meanwhile could hold a pipe open."""
    with tempfile.TemporaryFile(dir=WORK) as out, tempfile.TemporaryFile(dir=WORK) as err:
        process = velkctl(bus, args, stdin=subprocess.PIPE if stdin_bytes is not None else subprocess.DEVNULL,
                          stdout=out, stderr=err)
        if stdin_bytes is not None:
            process.stdin.write(stdin_bytes)
            process.stdin.close()
        process.wait(timeout)
        out.seek(0)
        err.seek(0)
        return process.returncode, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")


def warm_up_wine():
    """Starts wineserver and Wine's helper processes with no handle of ours,
    and keeps them for the test: a helper that inherited a pipe from one of
    the test's processes would keep it open after that process ends."""
    velkctl(bus_name("keep"), ["monitor", "0", "--timeout", "600"], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run_velkctl(bus_name("keep"), ["clients"])


def bus_name(tag):
    return "bridgetest-%d-%s" % (os.getpid(), tag)


class Broker:
    """mosquitto on 127.0.0.1, a free port, its own config and log; no persistence.
    acl: the lines of an acl_file (docs/bridge.md's), or none."""

    def __init__(self, acl=None):
        self.port = self._free_port()
        self.log = os.path.join(WORK, "mosquitto-%d.log" % self.port)
        self.config = os.path.join(WORK, "mosquitto-%d.conf" % self.port)
        with open(self.config, "w") as config:
            # user: started as root, mosquitto would become "mosquitto", who cannot write here.
            config.write("listener %d 127.0.0.1\nallow_anonymous true\npersistence false\nuser %s\n"
                         "log_dest file %s\nlog_type all\n" % (self.port, pwd.getpwuid(os.getuid()).pw_name, self.log))
            if acl is not None:
                acl_path = os.path.join(WORK, "velk-%d.acl" % self.port)
                with open(acl_path, "w") as acl_file:
                    acl_file.write(acl)
                config.write("acl_file %s\n" % acl_path)
        self.process = None
        self.start()

    @staticmethod
    def _free_port():
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            return probe.getsockname()[1]

    def start(self):
        binary = "/usr/sbin/mosquitto" if os.path.exists("/usr/sbin/mosquitto") else "mosquitto"
        self.process = start([binary, "-c", self.config], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self._listening, 10, "the broker to listen on port %d" % self.port)

    def _listening(self):
        check(self.process.poll() is None, "mosquitto ended (port %d taken?)" % self.port)
        try:
            socket.create_connection(("127.0.0.1", self.port), 0.2).close()
            return True
        except OSError:
            return False

    def kill(self):
        self.process.kill()
        self.process.wait(10)

    def log_count(self, text):
        try:
            with open(self.log, errors="replace") as log:
                return log.read().count(text)
        except FileNotFoundError:
            return 0

    def client_args(self):
        return ["-h", "127.0.0.1", "-p", str(self.port)]


class Bridge:
    """mosquitto_sub | velkctl bridge | mosquitto_pub, on one bus. topics: the
    one-liner with -F %j and --topic-prefix velk/, publishing as client ORIGIN."""

    def __init__(self, broker, bus, origin, extra=(), qos=0, topics=False):
        self.broker, self.bus, self.origin = broker, bus, origin
        self.stderr_path = os.path.join(WORK, "bridge-%s.err" % origin)
        # Under a loaded Wine a program now and then dies at start without a
        # word; the chain is then started again, and that said, so that the
        # scenario is judged on the bridge, not on Wine.
        for attempt in range(3):
            if self._start(extra, qos, topics):
                return
            sys.stderr.write("bridge %s: velkctl ended at start (exit %s) without a word; started again\n"
                             % (origin, self.bridge.returncode))
            for process in (self.sub, self.pub):
                if process.poll() is None:
                    process.kill()
                    process.wait()
        raise Failure("bridge %s: velkctl ended at start three times (exit %s)" % (origin, self.bridge.returncode))

    def _start(self, extra, qos, topics):
        """Starts the chain; False if velkctl ended before a line on stderr."""
        broker, origin = self.broker, self.origin
        pub_id = origin if topics else "pub-" + origin
        subs_before = broker.log_count("sub-%s %d velk/#" % (origin, qos))
        pubs_before = broker.log_count("as %s " % pub_id)
        qos_args = ["-q", str(qos)]
        self.sub = start(["mosquitto_sub"] + broker.client_args() + qos_args + ["-t", "velk/#", "-i", "sub-" + origin] +
                         (["-F", "%j"] if topics else []), stdout=subprocess.PIPE)
        self.bridge = velkctl(self.bus, ["bridge", "--origin", origin, "--exit-on-eof"] + list(extra) +
                              (["--topic-prefix", "velk/"] if topics else []),
                              stdin=self.sub.stdout, stdout=subprocess.PIPE, stderr=open(self.stderr_path, "wb"))
        self.pub = start(["mosquitto_pub"] + broker.client_args() + qos_args + ["-l", "-t", "velk/" + origin,
                                                                                  "-i", pub_id],
                         stdin=self.bridge.stdout)
        self.sub.stdout.close()       # the bridge holds them now
        self.bridge.stdout.close()
        wait_until(lambda: broker.log_count("sub-%s %d velk/#" % (origin, qos)) > subs_before, 20,
                   "%s's subscription" % origin)
        wait_until(lambda: broker.log_count("as %s " % pub_id) > pubs_before, 20, "%s's publisher" % origin)
        wait_until(lambda: "on the bus" in self.stderr() or self.bridge.poll() is not None, 30,
                   "bridge %s on the bus" % origin)
        if "on the bus" in self.stderr():
            return True
        check(self.stderr() == "", "bridge %s ended before it was on the bus (exit %s):\n%s"
              % (origin, self.bridge.returncode, self.stderr()))
        return False

    def run(self):
        """This run's id, from the bridge's first line."""
        return self.stderr().split(": run ", 1)[1].split(",", 1)[0]

    def stderr(self):
        with open(self.stderr_path, errors="replace") as err:
            return err.read()

    def stop(self):
        """Ends the subscriber: the bridge reads the end, leaves the bus and
        closes its output, which ends the publisher."""
        self.sub.terminate()
        self.sub.wait(10)
        code = self.bridge.wait(30)
        self.pub.wait(30)
        check(code == 0, "bridge %s exited %s:\n%s" % (self.origin, code, self.stderr()))
        return self.stderr()


def origin_counts(stderr, origin):
    """The summary's 'from ORIGIN: N received, N lost, N duplicates, N late' as a dict."""
    for line in stderr.splitlines():
        marker = ": from %s: " % origin
        if marker in line:
            fields = line.split(marker)[1].split(", ")
            return {field.split()[1]: int(field.split()[0]) for field in fields}
    raise Failure("no summary for origin %s in:\n%s" % (origin, stderr))


def totals(stderr):
    """The last counts line's 'name number' pairs (posted, bad, refused ...)."""
    lines = [line for line in stderr.splitlines() if "; in " in line]
    check(lines, "no counts line in:\n" + stderr)
    counts = {}
    for part in lines[-1].replace(";", ",").split(", "):
        words = part.split()
        if len(words) >= 2 and words[-1].isdigit():
            counts[words[-2]] = int(words[-1])
    return counts


class Monitor:
    """velkctl monitor --jsonl on one bus, its lines in a file."""

    def __init__(self, bus):
        self.path = os.path.join(WORK, "monitor-%s.jsonl" % bus)
        self.process = velkctl(bus, ["monitor", ALL_TYPES, "--jsonl", "--timeout", "300"],
                               stdout=open(self.path, "wb"), stderr=subprocess.DEVNULL)

    def messages(self):
        with open(self.path, errors="replace") as lines:
            return [json.loads(line) for line in lines if line.endswith("\n")]

    def settle(self, count, seconds=60):
        """Waits for count messages, then a quiet while, and ends the monitor."""
        wait_until(lambda: len(self.messages()) >= count, seconds, "%d messages at the monitor" % count)
        time.sleep(1.5)   # room for an echo or a duplicate to show
        self.process.send_signal(signal.SIGINT)
        self.process.wait(20)
        return self.messages()


def wait_for_clients(bus, count):
    def listed():
        code, out, _ = run_velkctl(bus, ["clients"])
        return code == 0 and len([line for line in out.splitlines() if line.strip()]) == count
    wait_until(listed, 30, "%d clients on bus %s" % (count, bus))


def recording(messages, spacing_micros=0):
    """A velk record file of (code, kind, data), spacing_micros apart."""
    path = os.path.join(WORK, "send-%d.txt" % len(os.listdir(WORK)))
    with open(path, "w") as out:
        out.write("# velk record 1\n")
        for i, (code, kind, data) in enumerate(messages):
            micros = i * spacing_micros
            text = str(data) if kind == "V" else (data.hex() or "-")
            out.write("%d.%06d %08x %s %s\n" % (micros // 1000000, micros % 1000000, code, kind, text))
    return path


def replay(bus, messages, speed="0"):
    code, _, err = run_velkctl(bus, ["replay", recording(messages), "--speed", speed], timeout=120)
    check(code == 0, "replay on %s exited %d: %s" % (bus, code, err))


def as_sent(message):
    """A monitor's JSON line as (code, kind, data), as it was sent."""
    code = int(message["code"], 16)
    if message["kind"] == "value":
        return (code, "V", message["value"])
    return (code, "S" if message["kind"] == "string" else "A", bytes.fromhex(message["bytes"]))


def of_channel(messages, channel):
    return [as_sent(m) for m in messages if int(m["code"], 16) & 0xFF == channel]


def difference(seen, sent):
    """Where two message lists part, in a line."""
    for i, (got, want) in enumerate(zip(seen, sent)):
        if got != want:
            return "message %d is %.80r, sent %.80r" % (i, got, want)
    return "%d messages, %d sent" % (len(seen), len(sent))


def mixed_messages(channel):
    """Values at the extremes, a string of every byte 01-FF, arrays of every byte, none and 64 KiB."""
    every = bytes(range(1, 256))
    return [(0x20000800 | channel, "V", v) for v in (0, 1, -1, 2147483647, -2147483648)] + [
        (0x30000200 | channel, "S", every),
        (0x30000200 | channel, "S", "桥 bridge".encode("gbk")),
        (0x30000400 | channel, "A", bytes(range(256))),
        (0x30000400 | channel, "A", b""),
        (0x30000400 | channel, "A", bytes(range(256)) * 256),     # 64 KiB: the most one message carries
        (0x10004000 | channel, "V", 42),
    ]


# ---------------------------------------------------------------- scenarios

def two_bridges_both_ways():
    """A's posts reach B exactly and B's reach A, nothing twice, no echo."""
    broker = Broker()
    a, b = bus_name("a"), bus_name("b")
    monitor_a, monitor_b = Monitor(a), Monitor(b)
    bridge_a, bridge_b = Bridge(broker, a, "lab-a"), Bridge(broker, b, "lab-b")
    wait_for_clients(a, 2)
    wait_for_clients(b, 2)
    sent_a, sent_b = mixed_messages(1), mixed_messages(2)
    replay(a, sent_a)
    replay(b, sent_b)
    for monitor in (monitor_a, monitor_b):
        seen = monitor.settle(len(sent_a) + len(sent_b))
        check(of_channel(seen, 1) == sent_a, "from A: " + difference(of_channel(seen, 1), sent_a))
        check(of_channel(seen, 2) == sent_b, "from B: " + difference(of_channel(seen, 2), sent_b))
        check(len(seen) == len(sent_a) + len(sent_b), "%d messages, expected %d" % (len(seen), len(sent_a) + len(sent_b)))
    for bridge, other in ((bridge_a, "lab-b"), (bridge_b, "lab-a")):
        summary = bridge.stop()
        counts = origin_counts(summary, other)
        n = len(sent_a)
        check(counts == {"received": n, "lost": 0, "duplicates": 0, "late": 0, "run": 1, "suspect": 0},
              "%s: %s" % (other, counts))
        mine = totals(summary)
        # Its own lines come back through velk/# and are dropped; nothing it posted went out again.
        check(mine["out"] == n and mine["own"] == n and mine["posted"] == n, "counts %s" % mine)


def flood_in_batches():
    """A flood replayed back to back leaves in batches of at most 7 (--batch 7,
    so many a batch's edge falls inside it) and arrives whole: every value
    once, in order, nothing counted lost; B read fewer lines than messages."""
    broker = Broker()
    a, b = bus_name("fa"), bus_name("fb")
    monitor_b = Monitor(b)
    bridge_a, bridge_b = Bridge(broker, a, "flood-a", ["--batch", "7"]), Bridge(broker, b, "flood-b")
    wait_for_clients(a, 1)
    wait_for_clients(b, 2)
    total = 2000
    replay(a, [(0x20000801, "V", n) for n in range(1, total + 1)])
    values = [m["value"] for m in monitor_b.settle(total)]
    check(values == list(range(1, total + 1)), "B got " + difference(values, list(range(1, total + 1))))
    bridge_a.stop()
    summary = bridge_b.stop()
    counts = origin_counts(summary, "flood-a")
    check(counts == {"received": total, "lost": 0, "duplicates": 0, "late": 0, "run": 1, "suspect": 0},
          "flood-a: %s" % counts)
    read = [line for line in summary.splitlines() if "; in " in line][-1].split("; in ")[1].split()
    check(int(read[0]) < total and read[2] == "(%d" % total and int(read[0]) * 7 >= total,
          "not in batches of at most 7: %s" % " ".join(read[:4]))


def three_bridges():
    """Every message reaches the two other buses once."""
    broker = Broker()
    names = [bus_name(tag) for tag in "xyz"]
    monitors = [Monitor(bus) for bus in names]
    bridges = [Bridge(broker, bus, "site-%d" % i) for i, bus in enumerate(names)]
    for bus in names:
        wait_for_clients(bus, 2)
    sent = [[(0x20000800 | (i + 1), "V", n) for n in range(60)] for i in range(3)]
    for bus, messages in zip(names, sent):
        replay(bus, messages)
    for monitor in monitors:
        seen = monitor.settle(180)
        check(len(seen) == 180, "%d messages, expected 180" % len(seen))
        for i in range(3):
            check(of_channel(seen, i + 1) == sent[i], "from site-%d: %s" % (i, difference(of_channel(seen, i + 1), sent[i])))
    for bridge in bridges:
        mine = totals(bridge.stop())
        check(mine["posted"] == 120 and mine["duplicates"] == 0 and mine["lost"] == 0, "counts %s" % mine)


def broker_outage():
    """The broker killed and restarted mid-stream: the bridges live on, and
    what B misses of A's stream is exactly what B's gap counter says."""
    broker = Broker()
    a, b = bus_name("a"), bus_name("b")
    monitor_b = Monitor(b)
    bridge_a, bridge_b = Bridge(broker, a, "out-a"), Bridge(broker, b, "out-b")
    wait_for_clients(a, 1)
    wait_for_clients(b, 2)
    total = 1500
    # 5 ms apart: 7.5 s of stream; values 1..total tell the last one.
    stream = recording([(0x20000801, "V", n) for n in range(1, total + 1)], spacing_micros=5000)
    sender = velkctl(a, ["replay", stream], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    wait_until(lambda: len(monitor_b.messages()) >= 300, 60, "the stream to reach B")
    broker.kill()
    time.sleep(1.0)
    broker.start()
    check(sender.wait(120) == 0, "the sender failed")
    wait_until(lambda: monitor_b.messages() and monitor_b.messages()[-1]["value"] == total, 60,
               "the stream to resume up to its last message")
    seen = monitor_b.settle(0)
    values = [m["value"] for m in seen]
    check(values == sorted(set(values)), "B got messages twice or out of order")
    bridge_a.stop()
    counts = origin_counts(bridge_b.stop(), "out-a")
    check(counts["lost"] > 0, "the outage lost nothing: it did not happen? %s" % counts)
    check(len(values) + counts["lost"] == total,
          "B saw %d of %d, and its counter says %d lost" % (len(values), total, counts["lost"]))
    check(counts["received"] == len(values) and counts["duplicates"] == 0, "counts %s" % counts)


def garbage_input():
    """Bad lines on standard input are counted with their line numbers and
    never posted; the good lines around them all are; the bridge lives on."""
    bus = bus_name("g")
    monitor = Monitor(bus)
    wait_for_clients(bus, 1)

    def good(n):
        return json.dumps({"origin": "net", "run": "r1", "seq": n, "code": "20000801", "kind": "value", "value": n})
    big = "ab" * 65536
    ten_mb = '{"origin":"net","code":"30000401","kind":"array","bytes":"' + "0" * 10000000 + '"}'
    lines = [
        good(1),
        "this is not JSON",                                                              # 2
        good(2),
        '{"origin":"net","code":"20000801","kind":"float","value":1}',                  # 4 unknown kind
        '{"origin":"net","code":20000801,"kind":"value","value":1}',                    # 5 wrong type
        '{"origin":"net","code":"20000801","kind":"value","value":"1"}',                # 6 wrong type
        '{"origin":"net","code":"30000401","kind":"array","bytes":"%s01"}' % big,       # 7 over 64 KiB
        good(3),
        ten_mb,                                                                           # 9
        '{"origin":"net","code":"30000401","kind":"array","bytes":"zz"}',               # 10 invalid hex
        '{"origin":"me","run":"x","seq":1,"code":"20000801","kind":"value","value":99}',  # 11 own: dropped
        '{"origin":"net","code":"30000401","kind":"array","bytes":"%s"}' % big,         # 12 64 KiB exactly
        '{"origin":"net","code":"30000201","kind":"string","bytes":"00ff0a0d"}',        # 13
        good(4),
        '{"batch":[%s,{"origin":"net","code":"2000080"},%s]}' % (good(5), good(6)),  # 15 a bad message inside
        '{"batch":["x",%s]}' % good(7),                                                # 16 and first
    ]
    code, _, err = run_velkctl(bus, ["bridge", "--origin", "me", "--exit-on-eof"],
                               stdin_bytes=("\n".join(lines) + "\n").encode(), timeout=120)
    check(code == 0, "bridge exited %d:\n%s" % (code, err))
    for number, fault in ((2, "not JSON"), (4, "unknown kind"), (5, '"code" must be'), (6, '"value" must be'),
                          (7, "payload of 65537 bytes"), (9, "longer than 1048576 bytes (%d)" % len(ten_mb)),
                          (10, "payload has a non-hex character")):
        check("input line %d: %s" % (number, fault) in err, "line %d not reported as %s:\n%s" % (number, fault, err))
    check("input line 11: origin me, run x is not this run: another bridge with --origin me" in err, err)
    check('input line 15: batch message 2: "code" must be' in err, err)
    check("input line 16: batch message 1: " in err, err)
    counts = totals(err)
    check(counts["bad"] == 9 and counts["own"] == 1 and counts["posted"] == 9, "counts %s" % counts)
    check(" in 16 lines (19 messages): " in err, err)
    seen = monitor.settle(9)
    check([as_sent(m) for m in seen] == [(0x20000801, "V", 1), (0x20000801, "V", 2), (0x20000801, "V", 3),
                                         (0x30000401, "A", bytes.fromhex(big)), (0x30000201, "S", b"\x00\xff\n\r"),
                                         (0x20000801, "V", 4), (0x20000801, "V", 5), (0x20000801, "V", 6),
                                         (0x20000801, "V", 7)], "posted: %s" % [m["code"] for m in seen])


def stop_all_and_filters():
    """A stop-all from the network is refused by default and posted where
    --accept names CONTROL; the bridge's own filters choose what goes out."""
    broker = Broker()
    guarded, open_ = bus_name("s"), bus_name("t")
    monitors = {guarded: Monitor(guarded), open_: Monitor(open_)}
    bridges = [Bridge(broker, guarded, "guarded"),
               Bridge(broker, open_, "open", ["--accept", "--type CTL --type DEP", "--type", "ADC"])]
    for bus in monitors:
        wait_for_clients(bus, 2)
    lines = [{"origin": "far", "run": "r", "seq": 1, "code": "80800000", "kind": "value", "value": 0},
             {"origin": "far", "run": "r", "seq": 2, "code": "20000801", "kind": "value", "value": 7}]
    publish = subprocess.run(["mosquitto_pub"] + broker.client_args() + ["-t", "velk/far", "-l"],
                             input="".join(json.dumps(line) + "\n" for line in lines).encode(), timeout=30)
    check(publish.returncode == 0, "mosquitto_pub failed")
    seen = monitors[guarded].settle(1)
    check([as_sent(m) for m in seen] == [(0x20000801, "V", 7)], "guarded bus got %s" % seen)

    # Only the A/D message leaves the open bus: --type ADC.
    listener = start(["mosquitto_sub"] + broker.client_args() + ["-t", "velk/open", "-C", "1", "-W", "30"],
                     stdout=subprocess.PIPE)
    wait_until(lambda: broker.log_count(" 0 velk/open") > 0, 20, "the listener's subscription")
    for code in ("0x20000802", "0x20001002"):
        check(run_velkctl(open_, ["post", code, "3"])[0] == 0, "post failed")
    out = json.loads(listener.communicate(timeout=40)[0])
    check(out["code"] == "20001002" and out["origin"] == "open" and out["seq"] == 1 and "time" in out, "sent out %s" % out)

    seen = monitors[open_].settle(4)
    check([as_sent(m) for m in seen] == [(0x80800000, "V", 0), (0x20000801, "V", 7), (0x20000802, "V", 3),
                                         (0x20001002, "V", 3)], "open bus got %s" % seen)
    summary = bridges[0].stop()
    check("input line 1: code 80800000 refused" in summary and totals(summary)["refused"] == 1, summary)
    summary = bridges[1].stop()
    check(totals(summary)["refused"] == 0 and totals(summary)["out"] == 1, summary)


def spoofing_publisher():
    """A stranger claims the honest rigs' origins and runs with a far-ahead
    seq: under its own topic the bridges refuse it as off-topic, to a rig's
    topic the broker's ACL drops it; nothing of the rigs' streams is lost.
    Another takes as client id a rig's topic level and the start of a line
    claiming it (`rig-a {"origin":"rig-a",...,"seq":N,`), which the ACL lets
    write velk/<that id>, and publishes the line's rest: mosquitto_sub -v
    printed that as one line of rig-a's topic."""
    broker = Broker(acl="topic read velk/#\npattern write velk/%c\n")
    a, b = bus_name("a"), bus_name("b")
    monitors = {a: Monitor(a), b: Monitor(b)}
    bridges = {a: Bridge(broker, a, "rig-a", topics=True), b: Bridge(broker, b, "rig-b", topics=True)}
    for bus in (a, b):
        wait_for_clients(bus, 2)
    sent = {a: [(0x20000801, "V", n) for n in range(1, 41)], b: [(0x20000802, "V", n) for n in range(1, 41)]}
    for bus in (a, b):
        replay(bus, sent[bus][:20])
    wait_until(lambda: len(monitors[a].messages()) >= 40 and len(monitors[b].messages()) >= 40, 60,
               "the first halves at both monitors")
    # The rigs' very runs, 2^53 - 1000: taken, it would make every genuine seq after it look old.
    forged = "".join(json.dumps({"origin": bridge.origin, "run": bridge.run(), "seq": 9007199254740000,
                                 "code": "20000803", "kind": "value", "value": 666}) + "\n"
                     for bridge in bridges.values())
    denied_before = broker.log_count("Denied PUBLISH from rogue")
    for topic in ("velk/rogue", "velk/rig-a", "velk/rig-b"):
        publish = subprocess.run(["mosquitto_pub"] + broker.client_args() + ["-i", "rogue", "-t", topic, "-l"],
                                 input=forged.encode(), timeout=30)
        check(publish.returncode == 0, "mosquitto_pub to %s failed" % topic)
    for bridge in bridges.values():
        head = '%s {"origin":"%s","run":"%s","seq":9007199254740000,' % (bridge.origin, bridge.origin, bridge.run())
        publish = subprocess.run(["mosquitto_pub"] + broker.client_args() +
                                 ["-i", head, "-t", "velk/" + head, "-m", '"code":"20000803","kind":"value","value":666}'],
                                 timeout=30)
        check(publish.returncode == 0, "mosquitto_pub as %r failed" % head)
    wait_until(lambda: broker.log_count("Denied PUBLISH from rogue") - denied_before == 4, 20,
               "the broker to deny the four publishes to the rigs' topics")
    wait_until(lambda: all(bridge.stderr().count("refused: topic") == 2 and
                           bridge.stderr().count(" is not velk/ and an origin") == 2 for bridge in bridges.values()), 20,
               "both bridges to refuse the lines of velk/rogue and of the spaced client ids")
    for bus in (a, b):
        replay(bus, sent[bus][20:])
    for bus, monitor in monitors.items():
        seen = [as_sent(m) for m in monitor.settle(80)]
        check(seen.count((0x20000803, "V", 666)) == 0, "a forged line was posted on %s" % bus)
        for other in (a, b):
            theirs = [m for m in seen if m[0] == sent[other][0][0]]
            check(theirs == sent[other], "on %s, from %s: %s" % (bus, other, difference(theirs, sent[other])))
        check(len(seen) == 80, "%d messages on %s, expected 80" % (len(seen), bus))
    for bus, other in ((a, "rig-b"), (b, "rig-a")):
        summary = bridges[bus].stop()
        check("origin %s refused: topic 'velk/rogue' is not velk/%s" % (other, other) in summary, summary)
        check("topic 'velk/%s {" % other in summary, summary)
        counts = origin_counts(summary, other)
        check(counts == {"received": 40, "lost": 0, "duplicates": 0, "late": 0, "run": 1, "suspect": 0},
              "%s: %s" % (other, counts))
        mine = totals(summary)
        check(mine["off-topic"] == 4 and mine["posted"] == 40 and mine["own"] == 40 and mine["bad"] == 0 and
              " lines (84 messages): " in summary, "counts %s" % mine)


def output_closed():
    """A bridge whose reader has gone says so, exits 5 and leaves the bus."""
    bus = bus_name("o")
    keeper = Monitor(bus)    # keeps the bus alive
    wait_for_clients(bus, 1)
    bridge = velkctl(bus, ["bridge", "--origin", "gone"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                     stderr=subprocess.PIPE)
    wait_for_clients(bus, 2)
    bridge.stdout.close()
    code, _, _ = run_velkctl(bus, ["post", "0x20000801", "1"])
    check(code == 0, "post failed")
    check(bridge.wait(30) == 5, "exit %s, expected 5" % bridge.returncode)
    check("its reader has gone" in bridge.stderr.read().decode(), "no message")
    wait_for_clients(bus, 1)
    keeper.settle(1)


SCENARIOS = {
    "two-way": lambda: (two_bridges_both_ways(), flood_in_batches()),
    "three": three_bridges,
    "outage": broker_outage,
    "spoof": spoofing_publisher,
    "input": lambda: (garbage_input(), stop_all_and_filters(), output_closed()),
}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in SCENARIOS:
        sys.stderr.write("usage: bridge_test.py BIN_DIR {%s}\n" % ",".join(SCENARIOS))
        return 2
    try:
        warm_up_wine()
        SCENARIOS[sys.argv[2]]()
        print("bridge %s: passed" % sys.argv[2])
        shutil.rmtree(WORK, ignore_errors=True)
        return 0
    except Failure as failure:
        print("bridge %s: FAILED: %s" % (sys.argv[2], failure))
        print("(work files in %s)" % WORK)
        return 1
    finally:
        end_started()


if __name__ == "__main__":
    sys.exit(main())

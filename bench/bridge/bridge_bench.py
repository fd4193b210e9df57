#!/usr/bin/env python3
"""velkctl bridge through a real Mosquitto broker on 127.0.0.1, beside one bus.

For each rate: a sender posts N value messages on bus A at that rate (each
carrying its send time) and a receiver on bus B takes them, B joined to A by
two bridges and the broker; then the same sender and receiver on one bus, so
the bridged and one-bus runs of a rate are interleaved in the same minutes
(give a rate twice for A B A B). Prints what arrived, the receiving rate, the
latency percentiles and the bridged/one-bus ratio of each pair; the added
latency is the bridged one less the one-bus one. With --profile, also where
the time went: each process's CPU time and context switches per message
over the run, from /proc. Asserts nothing.

Usage (after . scripts/wine-env.sh, on a display):
    bench/bridge/bridge_bench.py BIN_DIR [--qos Q] [--profile] [N] [RATE ...]   (RATE 0: back to back)
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "bridge"))
import bridge_test as harness  # noqa: E402  the broker, the bridges and the Wine runner of the tests

ARGS = sys.argv[1:]
QOS = [0, 1]
PROFILE = "--profile" in ARGS
if PROFILE:
    ARGS.remove("--profile")
if "--qos" in ARGS:
    at = ARGS.index("--qos")
    QOS = [int(ARGS[at + 1])]
    del ARGS[at:at + 2]
harness.BIN = os.path.abspath(ARGS[0]) if ARGS else "."
COUNT = int(ARGS[1]) if len(ARGS) > 1 else 5000
RATES = [float(r) for r in ARGS[2:]] or [1000, 2000, 5000, 0]
TICK = os.sysconf("SC_CLK_TCK")


def peer(bus, args, **kwargs):
    return harness.program("bridge_bench_peer.exe", bus, args, **kwargs)


def usage(pid):
    """(CPU seconds, context switches) of a process, all its threads, or None once it has gone."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        switches = 0
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/status" % (pid, task)) as status:
                switches += sum(int(n) for n in re.findall(r"ctxt_switches:\s+(\d+)", status.read()))
        return (int(fields[11]) + int(fields[12])) / TICK, switches
    except (OSError, IndexError, ValueError):
        return None


def wine_processes():
    """{pid: name} of this prefix's wineserver and Wine programs (the helpers too)."""
    prefix = "WINEPREFIX=" + os.environ.get("WINEPREFIX", "")
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as environ:
                if prefix.encode() not in environ.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                words = cmdline.read().split(b"\0")
        except OSError:
            continue
        name = os.path.basename(words[0].decode(errors="replace"))
        if name.startswith("wine") and len(words) > 1 and words[1]:
            name = os.path.basename(words[1].decode(errors="replace").replace("\\", "/"))
        found[int(entry)] = name
    return found


class Profile:
    """CPU time and context switches of the named processes over one run."""

    def __init__(self, named):
        self.named = dict(named)           # pid: name
        self.named.update({pid: name for pid, name in wine_processes().items() if pid not in self.named})
        self.before = {pid: usage(pid) for pid in self.named}
        self.after = {}

    def add(self, pid, name):
        self.named[pid] = name
        self.before[pid] = (0.0, 0)         # started within the run

    def ended(self, pid, seconds, switches):
        self.after[pid] = (seconds, switches)

    def report(self, messages):
        rows = {}
        for pid, name in self.named.items():
            before, after = self.before.get(pid), self.after.get(pid) or usage(pid)
            if before is None or after is None:
                continue
            row = rows.setdefault(name, [0.0, 0])
            row[0] += after[0] - before[0]
            row[1] += after[1] - before[1]
        total = sum(row[0] for row in rows.values())
        parts = ["%s %.0f us, %.1f sw" % (name, row[0] * 1e6 / messages, row[1] / messages)
                 for name, row in sorted(rows.items(), key=lambda item: -item[1][0]) if row[0] > 0 or row[1] > 0]
        return "    a message: %.0f us CPU in all: %s" % (total * 1e6 / messages, "; ".join(parts))


def one_run(send_bus, receive_bus, rate, profile=None):
    receiver = peer(receive_bus, ["receive", str(COUNT), "60"], stdout=subprocess.PIPE, text=True)
    harness.check(receiver.stdout.readline().strip() == "ready", "the receiver did not start")
    if profile:
        profile.add(receiver.pid, "receiver")
    sender = peer(send_bus, ["send", str(COUNT), str(rate)], stdout=subprocess.PIPE, text=True)
    if profile:
        profile.add(sender.pid, "sender")
    received = receiver.stdout.read().strip()
    report = None
    if profile:
        # The two ends' own times from their end (wait4): /proc has none once they have gone.
        for process in (receiver, sender):
            rusage = os.wait4(process.pid, 0)[2]
            process.returncode = 0
            profile.ended(process.pid, rusage.ru_utime + rusage.ru_stime, rusage.ru_nvcsw + rusage.ru_nivcsw)
        report = profile.report(COUNT)
    receiver.wait(120)
    sent = sender.communicate(timeout=300)[0].strip()
    return sent, received, report


def received_rate(line):
    found = re.search(r", (\d+)/s,", line)
    return int(found.group(1)) if found else 0


def chain_processes(broker, bridges):
    named = {broker.process.pid: "mosquitto"}
    for bridge in bridges:
        side = bridge.origin[-1]
        named.update({bridge.sub.pid: "sub " + side, bridge.bridge.pid: "bridge " + side,
                      bridge.pub.pid: "pub " + side})
    return named


def main():
    harness.warm_up_wine()
    print("%d messages a run; load average %s" % (COUNT, open("/proc/loadavg").read().split()[0]))
    one = harness.bus_name("one")
    keeper = harness.velkctl(one, ["monitor", "0", "--timeout", "3000"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for qos in QOS:
        broker = harness.Broker()
        a, b = harness.bus_name("a%d" % qos), harness.bus_name("b%d" % qos)
        bridges = [harness.Bridge(broker, a, "bench-a", qos=qos), harness.Bridge(broker, b, "bench-b", qos=qos)]
        for rate in RATES:
            label = "back to back" if rate == 0 else "%.0f/s" % rate
            profile = Profile(chain_processes(broker, bridges)) if PROFILE else None
            sent, bridged, report = one_run(a, b, rate, profile)
            print("QoS %d, %s: bridged A->B: %s; %s" % (qos, label, sent, bridged))
            if report:
                print(report)
            profile = Profile({}) if PROFILE else None
            sent, single, report = one_run(one, one, rate, profile)
            print("QoS %d, %s: one bus:      %s; %s" % (qos, label, sent, single))
            if report:
                print(report)
            if received_rate(single):
                print("    bridged / one bus: %.2f" % (received_rate(bridged) / received_rate(single)))
            sys.stdout.flush()
        for bridge in bridges:
            summary = bridge.stop()
            print("   " + [line for line in summary.splitlines() if "; in " in line][-1])
        broker.process.terminate()
        broker.process.wait(10)
    print("load average at the end %s" % open("/proc/loadavg").read().split()[0])
    keeper.kill()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        harness.end_started()

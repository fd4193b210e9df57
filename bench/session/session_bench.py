#!/usr/bin/env python3
"""velkctl session from Python against velkctl run once per step, on one bus.

1. Round trips: an expect armed, a post, the match answered, through one
   session (velk.Bus), against the same done by two velkctl processes per
   round (`monitor --count 1` waiting, then `post`), as a shell script would.
2. Events: N values posted back to back by `velkctl post --count N`, taken
   by a subscription in Python, against `velkctl monitor --jsonl` read by
   Python; the rate from the first line's arrival to the last's.

Prints the figures and asserts nothing; not a test.

Usage (after . scripts/wine-env.sh, on a display):
    bench/session/session_bench.py VELKCTL_EXE [ROUNDS] [EVENTS]
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
import velk  # noqa: E402
from velk import _wine  # noqa: E402

VELKCTL = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "velkctl.exe"
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 200
EVENTS = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
BUS = "sessbench%d" % os.getpid()
CODE = 0x20000801
LIMIT = 120.0   # seconds any one step may take


def command(*arguments):
    """velkctl as velk.Bus runs it (off Windows through the Wine loader it picks)."""
    return _wine.windows_command(VELKCTL)[0] + list(arguments)


def run(*arguments, **kwargs):
    return subprocess.Popen(command(*arguments), env=dict(os.environ, VELK_BUS_NAME=BUS), **kwargs)


def percentiles(seconds):
    ms = sorted(s * 1000 for s in seconds)
    return "median %.2f ms, p95 %.2f ms, max %.2f ms" % (
        statistics.median(ms), ms[min(len(ms) - 1, int(len(ms) * 0.95))], ms[-1])


def wait_for_clients(bus, count):
    deadline = time.monotonic() + LIMIT
    while len(bus.clients()) < count:
        if time.monotonic() > deadline:
            raise SystemExit("no client came on the bus in %gs" % LIMIT)
        time.sleep(0.01)


def session_rounds(bus):
    times = []
    for i in range(ROUNDS):
        start = time.perf_counter()
        waiter = bus.expect(CODE, eq=i, within=10.0)
        bus.post(CODE, i)
        waiter.wait()
        times.append(time.perf_counter() - start)
    return times


def process_rounds(bus, rounds):
    times = []
    for i in range(rounds):
        start = time.perf_counter()
        monitor = run("monitor", "--code", "%08x" % CODE, "--count", "1", "--timeout", "60",
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_clients(bus, 2)   # the monitor listens before the post
        subprocess.run(command("post", "%08x" % CODE, str(i)), env=dict(os.environ, VELK_BUS_NAME=BUS),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=LIMIT)
        monitor.wait(timeout=LIMIT)
        times.append(time.perf_counter() - start)
    return times


def send_events():
    return run("post", "%08x" % (CODE + 1), "1", "--count", str(EVENTS),
               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def rate(arrivals):
    return (len(arrivals) - 1) / (arrivals[-1] - arrivals[0]) if len(arrivals) > 1 else 0.0


def subscription_events(bus):
    events = bus.subscribe(CODE + 1)
    sender = send_events()
    arrivals = []
    while len(arrivals) < EVENTS:
        message = events.get(timeout=5.0 if arrivals else LIMIT)
        if message is None:
            break
        arrivals.append(time.perf_counter())
    sender.wait(timeout=LIMIT)
    events.close()
    return arrivals


def monitor_events(bus):
    monitor = run("monitor", "--code", "%08x" % (CODE + 1), "--jsonl", "--count", str(EVENTS), "--timeout", "60",
                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    wait_for_clients(bus, 2)
    sender = send_events()
    arrivals = [time.perf_counter() for _ in monitor.stdout]
    sender.wait(timeout=LIMIT)
    monitor.wait(timeout=LIMIT)
    return arrivals


def main():
    print("load average %s" % open("/proc/loadavg").read().split()[0])
    with velk.Bus(bus=BUS, velkctl=VELKCTL) as bus:
        session_rounds(bus)   # warm
        times = session_rounds(bus)
        print("round trip through velkctl session: %d rounds, %s" % (len(times), percentiles(times)))
        rounds = max(5, ROUNDS // 20)
        times = process_rounds(bus, rounds)
        print("round trip by two velkctl processes: %d rounds, %s" % (len(times), percentiles(times)))
        sys.stdout.flush()
        before = bus.counters()
        for name, take in (("subscription in Python", subscription_events), ("velkctl monitor --jsonl", monitor_events)):
            arrivals = take(bus)
            print("%s: %d of %d events, %.0f a second" % (name, len(arrivals), EVENTS, rate(arrivals)))
            sys.stdout.flush()
        after = bus.counters()
        print("bus: dropped +%d, expired +%d" % (after.get("dropped", 0) - before.get("dropped", 0),
                                                 after.get("expired", 0) - before.get("expired", 0)))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""velkctl bridge through a real Mosquitto broker on 127.0.0.1, beside one bus.

For each rate: a sender posts N value messages on bus A at that rate (each
carrying its send time) and a receiver on bus B takes them, B joined to A by
two bridges and the broker (QoS 0 and QoS 1); then the same sender and
receiver on one bus. Prints what arrived, the receiving rate and the latency
percentiles; the added latency is the bridged one less the one-bus one.
Asserts nothing.

Usage (after . scripts/wine-env.sh, on a display):
    bench/bridge/bridge_bench.py BIN_DIR [N] [RATE ...]   (RATE 0: back to back)
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "bridge"))
import bridge_test as harness  # noqa: E402  the broker, the bridges and the Wine runner of the tests

harness.BIN = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "."
COUNT = int(sys.argv[2]) if len(sys.argv) > 2 else 5000
RATES = [float(r) for r in sys.argv[3:]] or [1000, 2000, 5000, 0]


def peer(bus, args, **kwargs):
    return harness.program("bridge_bench_peer.exe", bus, args, **kwargs)


def one_run(send_bus, receive_bus, rate):
    receiver = peer(receive_bus, ["receive", str(COUNT), "60"], stdout=subprocess.PIPE, text=True)
    harness.check(receiver.stdout.readline().strip() == "ready", "the receiver did not start")
    sender = peer(send_bus, ["send", str(COUNT), str(rate)], stdout=subprocess.PIPE, text=True)
    sent = sender.communicate(timeout=300)[0].strip()
    received = receiver.communicate(timeout=120)[0].strip()
    return sent, received


def main():
    harness.warm_up_wine()
    print("%d messages a run; load average %s" % (COUNT, open("/proc/loadavg").read().split()[0]))
    one = harness.bus_name("one")
    keeper = harness.velkctl(one, ["monitor", "0", "--timeout", "3000"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for qos in (0, 1):
        broker = harness.Broker()
        a, b = harness.bus_name("a%d" % qos), harness.bus_name("b%d" % qos)
        bridges = [harness.Bridge(broker, a, "bench-a", qos=qos), harness.Bridge(broker, b, "bench-b", qos=qos)]
        for rate in RATES:
            label = "back to back" if rate == 0 else "%.0f/s" % rate
            sent, received = one_run(a, b, rate)
            print("QoS %d, %s: bridged A->B: %s; %s" % (qos, label, sent, received))
            sent, received = one_run(one, one, rate)
            print("QoS %d, %s: one bus:      %s; %s" % (qos, label, sent, received))
            sys.stdout.flush()
        for bridge in bridges:
            summary = bridge.stop()
            print("   " + [line for line in summary.splitlines() if "; in " in line][-1])
        broker.process.terminate()
        broker.process.wait(10)
    keeper.kill()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    finally:
        harness.end_started()

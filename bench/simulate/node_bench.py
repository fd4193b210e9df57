"""A Python node's round trip: a request on the bus to the node's answer on
the bus. Prints figures; asserts nothing.

    node_bench.py VELKCTL [REQUESTS]

A velk.Node (its own velkctl session) answers each pump.request of the
example rig with a motor.state sent through its simulation. Another session,
subscribed to both codes, posts the requests one at a time and takes the
round trip from the two messages' timestamps, both stamped by that session
as it took them off its queue."""

import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "python"))

import velk  # noqa: E402

SIGNALS = os.path.join(ROOT, "docs", "signals-example.toml")
REQUEST, STATE = 0x20001004, 0x20001002


def main():
    velkctl = sys.argv[1]
    requests = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    bus_name = "node-bench-%d" % os.getpid()
    node = velk.Node(bus=bus_name, signals=SIGNALS, velkctl=velkctl)

    @node.on("pump.request")
    def answer(message):
        node.send("motor.state", value="RUNNING" if message.value == 1 else "STOPPED")

    trips = []
    with node, velk.Bus(bus=bus_name, signals=SIGNALS, velkctl=velkctl) as bus:
        events = bus.subscribe(0x20001000, mask=0xFFFFFFF0)
        for i in range(requests):
            bus.post(REQUEST, 1 + i % 2)
            asked = answered = None
            deadline = time.monotonic() + 5.0
            while answered is None and time.monotonic() < deadline:
                message = events.get(timeout=1.0)
                if message is None:
                    continue
                if message.code == REQUEST:
                    asked = message
                elif message.code == STATE and asked is not None:
                    answered = message
            if answered is not None:
                trips.append((answered.time - asked.time) * 1e3)
    trips.sort()
    if not trips:
        print("node_bench: no answers")
        return 1
    print("node round trip over %d of %d requests: median %.2f ms, p95 %.2f ms, p99 %.2f ms, max %.2f ms; "
          "handler errors %d" % (len(trips), requests, statistics.median(trips), trips[int(len(trips) * 0.95)],
                                 trips[int(len(trips) * 0.99)], trips[-1], len(node.errors)))
    return 0


if __name__ == "__main__":
    sys.exit(main())

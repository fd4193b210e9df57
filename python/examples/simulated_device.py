"""A simulated device for the worked example: answers a start request.

Watches code 20000801 (the request); when a value arrives it posts the
value + 1000 on 20000802 (the device's state) after a delay. Runs until
Ctrl+C or --for seconds. Needs velkctl (found as velk.Bus finds it)."""

import argparse
import time

import velk

REQUEST = 0x20000801
STATE = 0x20000802


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--bus", default=None)
    parser.add_argument("--velkctl", default=None)
    parser.add_argument("--delay", type=float, default=0.2, help="seconds before answering")
    parser.add_argument("--for", dest="lifetime", type=float, default=60.0, help="seconds to run")
    args = parser.parse_args()
    with velk.Bus(bus=args.bus, velkctl=args.velkctl) as bus:
        requests = bus.subscribe(REQUEST)
        end = time.monotonic() + args.lifetime
        while time.monotonic() < end:
            request = requests.get(timeout=0.5)
            if request is None:
                continue
            time.sleep(args.delay)
            bus.post(STATE, request.value + 1000)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The size of pytest --velk-report's page for a run of 200 tests.

Each test filled to the report's bounds: the journal's 50 actions, a
failure's text at its limit, the bus's last 100 messages with decoded
signals and a plot that velkctl plot draws (here once, of 8 signals' 1000
messages, the most a failure's plot is drawn from, shown in every failed
test's section). Two runs: every test failing (the worst case) and one in
ten failing. Prints the sizes and asserts nothing; not a test.

Usage (after . scripts/wine-env.sh, off Windows):
    bench/report/report_size.py VELKCTL_EXE [OUT.html]
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from velk import _journal, _plot, _report, _report_run  # noqa: E402
from velk._message import Message  # noqa: E402

VELKCTL = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else "velkctl.exe"
OUT = sys.argv[2] if len(sys.argv) > 2 else None
TESTS = 200
CODES = ["%08x" % (0x20001000 + n) for n in range(_journal.TOUCHED_LIMIT)]


def messages():
    """The most a failure's plot is drawn from: 8 codes, noisy, over 10 s."""
    return [Message({"t": "%.6f" % (n * 0.01), "code": CODES[n % len(CODES)], "kind": "value",
                     "value": int(1000 * math.sin(n / 37.0) + (n * 7919) % 101)})
            for n in range(_report_run.PLOTTED)]


def test(number, failed, svg):
    record = _report.TestRecord("tests/test_rig_endurance.py::test_pump_cycle_%03d[rig-7-%s]" % (number, CODES[0]))
    record.add_phase("setup", "passed", 0.01)
    record.add_phase("call", "failed" if failed else "passed", 10.0,
                     ("E   " + "velk.errors.ExpectTimeout: no message with pump.status.pressure ge 2.5 within 2s " * 60)
                     if failed else "")
    journal = _journal.Journal()
    for n in range(_journal.LIMIT + 10):
        if n % 2:
            journal.note("post", "pump.request", "START")
        else:
            event = journal.note("expect", "pump.status.pressure", "pump.status.pressure ge 2.5", 2.0)
            event.outcome, event.ended = "matched", event.at + 0.4
    record.events, record.left_out = journal.events, journal.left_out
    if failed:
        record.messages = [(n * 0.01, "%.6f 30000403 array 0a1b2c3d4e5f6071 pump.status.pressure=2.375 "
                                      "pump.status.state=\"RUNNING\" pump.status.alive=%d" % (n * 0.01, n % 16))
                           for n in range(100)]
        record.plot = svg
    return record


def main():
    svg, why = _plot.plot(VELKCTL, None, messages(), CODES, lambda t: t, 10.0, shade=(7.5, 9.5), mark=9.5,
                          title="test_pump_cycle_000")
    if svg is None:
        sys.exit("velkctl plot: %s" % why)
    setup = [("velkctl", "velkctl", _plot.version(VELKCTL))]
    print("one plot (8 signals, %d messages): %d bytes" % (_report_run.PLOTTED, len(svg.encode("utf-8"))))
    for label, every in (("every test failing", 1), ("one in ten failing", 10)):
        records = [test(n, n % every == 0, svg) for n in range(TESTS)]
        page = _report.render(records, setup)
        size = len(page.encode("utf-8"))
        cut = page.count("left out: the report has passed")
        print("%d tests, %s: %d bytes (%.2f MB), %d sections cut to their verdict" % (TESTS, label, size,
                                                                                     size / 1e6, cut))
        if OUT and every == 1:
            with open(OUT, "w", encoding="utf-8") as out:
                out.write(page)


if __name__ == "__main__":
    main()

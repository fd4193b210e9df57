"""velk.Node: a device of the rig written in Python, on its own `velkctl session`.

    node = velk.Node()

    @node.on("pump.request")              # a message or signal name, or a code
    def answer(message):                  # a velk.Message, its signals decoded
        if message.labels.get("pump.request") == "START":
            node.set("motor.state", "RUNNING")

    @node.every("100ms")
    def tick():
        node.send("motor.status", current=1.2)

Run it headless, `python -m velk.node script.py --signals rig.toml`, or in
pytest through the velk_node fixture. A handler that raises is reported with
its traceback and the node goes on; node.errors keeps them. Messages are the
bus's, whoever sent them: a device, velkctl replay or velkctl simulate. The
messages waiting for the handlers are bounded as velk.Bus bounds its
queues: past that the oldest go, counted in node.lost. A node whose session
ends says why and stops at once: node.failure, and run() raises it."""

import argparse
import collections
import heapq
import itertools
import os
import runpy
import sys
import threading
import time
import traceback

from velk import _duration
from velk.bus import Bus
from velk.errors import VelkError
from velk._text import say


class Node:
    """Handlers of messages and timers over one `velkctl session`.

    bus, signals, velkctl: as velk.Bus takes them (start() may give them
    instead). The node's thread calls the handlers one at a time."""

    def __init__(self, bus=None, signals=None, velkctl=None):
        self.bus_name, self.signals, self.velkctl = bus, signals, velkctl
        self.bus = None
        self.errors = []             # (handler name, traceback text) of each handler that raised
        self.lost = 0                # messages dropped while the handlers were behind
        self.failure = None          # a VelkError: why the session ended under the node
        self._handlers = []          # (target, function)
        self._timers = []            # (seconds, function)
        self._ready = threading.Condition()
        self._control = collections.deque()    # (kind, item): timer, ended, stop
        self._messages = collections.deque()   # (function, message), at most _limit
        self._limit = Bus.QUEUE_LIMIT
        self._thread = None
        self._stopping = threading.Event()

    # -- what it does -------------------------------------------------------

    def on(self, target):
        """@node.on(NAME or CODE): the function is called with each message of it."""
        def register(function):
            self._handlers.append((target, function))
            if self.bus is not None:
                self._subscribe(target, function)
            return function
        return register

    def every(self, period):
        """@node.every("100ms"): the function is called every period, on absolute deadlines; a late call is
        made once, never several to catch up."""
        seconds = _duration.seconds(period, "period")

        def register(function):
            self._timers.append((seconds, function))
            if self.bus is not None:
                self._put("timer", (seconds, function))
            return function
        return register

    def set(self, name, value):
        """A simulated signal's value from its next send on (velk.Bus.set)."""
        self._bus().set(name, value)

    def send(self, name, **values):
        """A message of the signal file sent now, its counter counting and its checksum written (velk.Bus.send)."""
        self._bus().send(name, **values)

    def _bus(self):
        if self.bus is None:
            raise VelkError(say("the node is not started"))
        return self.bus

    # -- its life -----------------------------------------------------------

    def start(self, bus=None, signals=None, velkctl=None):
        """Opens its session and starts calling handlers on a thread of its own."""
        if self.bus is not None:
            return self
        self.bus_name = bus or self.bus_name
        self.signals = signals or self.signals
        self.velkctl = velkctl or self.velkctl
        self._stopping.clear()
        with self._ready:   # what a run before left
            self._control.clear()
            self._messages.clear()
        opened = Bus(bus=self.bus_name, signals=self.signals, velkctl=self.velkctl)
        opened.open()
        self.bus = opened
        self.failure = None
        self._limit = opened.QUEUE_LIMIT
        opened.when_ended(self._session_ended)
        try:
            for target, function in self._handlers:
                self._subscribe(target, function)
        except Exception:
            self.stop()
            raise
        self._thread = threading.Thread(target=self._run, name="velk.Node", daemon=True)
        self._thread.start()
        return self

    def stop(self):
        """Ends the calls (the one running finishes) and closes the session."""
        self._stopping.set()
        self._put("stop", None)
        if self._thread is not None and self._thread is not threading.current_thread():
            self._thread.join(timeout=10)
        self._thread = None
        if self.bus is not None:
            self.bus.close()
            self.bus = None
        if self.lost:
            _report(say("%d messages dropped: the handlers were too slow", self.lost))

    def run(self, duration=None):
        """start(), then calls handlers until Ctrl+C or for duration (seconds or a duration like "30s"); then
        stop(). Raises VelkError at once when the session ends under it."""
        timeout = None if duration is None else _duration.seconds(duration, "duration", zero=True)
        self.start()
        try:
            self._stopping.wait(timeout)
        except KeyboardInterrupt:
            pass
        finally:
            self.stop()
        if self.failure is not None:
            raise self.failure

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False

    # -- the thread ---------------------------------------------------------

    def _subscribe(self, target, function):
        if not isinstance(target, int) or isinstance(target, bool):
            target = self.bus.message_code(str(target))
        self.bus.subscribe(target).listen(lambda message: self._put_message(function, message))

    def _put(self, kind, item):
        with self._ready:
            self._control.append((kind, item))
            self._ready.notify()

    def _put_message(self, function, message):
        """On the bus's reader: a message for a handler; past the limit the oldest waiting one goes."""
        with self._ready:
            dropped = len(self._messages) >= self._limit
            if dropped:
                self._messages.popleft()
                self.lost += 1
            self._messages.append((function, message))
            self._ready.notify()
        if dropped and self.lost == 1:
            _report(say("the handlers are behind: the oldest waiting messages are dropped (%d wait at most)",
                        self._limit))

    def _next(self, timeout):
        """(kind, item): a timer, ended or stop first, then a message; (None, None) after timeout seconds."""
        with self._ready:
            if not self._control and not self._messages:
                self._ready.wait(timeout)
            if self._control:
                return self._control.popleft()
            if self._messages:
                return "msg", self._messages.popleft()
            return None, None

    def _session_ended(self, why):
        """On the bus's reader, when velkctl's output ends; nothing when the node closed it."""
        if not self._stopping.is_set():
            self._put("ended", why)

    def _run(self):
        order = itertools.count()
        now = time.monotonic()
        timers = [(now + seconds, next(order), seconds, function) for seconds, function in self._timers]
        heapq.heapify(timers)
        while not self._stopping.is_set():
            wait = max(0.0, timers[0][0] - time.monotonic()) if timers else None
            kind, item = self._next(wait)
            if kind == "stop":
                break
            if kind == "ended":
                self.failure = VelkError(item)
                _report(str(self.failure))
                self._stopping.set()
                break
            if kind == "msg":
                self._call(item[0], item[1])
            elif kind == "timer":
                heapq.heappush(timers, (time.monotonic() + item[0], next(order), item[0], item[1]))
            while timers and timers[0][0] <= time.monotonic() and not self._stopping.is_set():
                due, _, seconds, function = heapq.heappop(timers)
                self._call(function)
                # The next deadline after now: missed ones are skipped, not made up.
                late = time.monotonic() - due
                heapq.heappush(timers, (due + seconds * (int(late // seconds) + 1), next(order), seconds, function))

    def _call(self, function, *arguments):
        try:
            function(*arguments)
        except VelkError:
            if self.bus is not None and self.bus.ended:
                return   # the session has gone: said once, as the node stops
            self._raised(function)
        except Exception:
            self._raised(function)

    def _raised(self, function):
        text = traceback.format_exc()
        name = getattr(function, "__qualname__", repr(function))
        self.errors.append((name, text))
        _report("%s\n%s" % (say("%s raised, and the node goes on:", name), text), end="")


def _report(text, end="\n"):
    sys.stderr.write("velk.node: %s%s" % (text, end))
    sys.stderr.flush()


def _nodes_of(script):
    """The Node objects a script made at its top level."""
    # Run as python -m, this file is __main__: the script's velk.Node is the package's.
    from velk import node as package
    found = runpy.run_path(script, run_name="__velk_node__")
    return [value for value in found.values() if isinstance(value, package.Node)]


def main(argv=None):
    parser = argparse.ArgumentParser(prog="python -m velk.node",
                                     description="Runs the velk.Node objects a script makes, until Ctrl+C or --duration.")
    parser.add_argument("script", help="a Python file that makes one or more velk.Node")
    parser.add_argument("--signals", help="the signal file, for names (default: $VELK_SIGNALS)")
    parser.add_argument("--bus", help="the bus (VELK_BUS_NAME of the session)")
    parser.add_argument("--velkctl", help="velkctl.exe (default: $VELKCTL, else beside the package)")
    parser.add_argument("--duration", help="end after this long, like 60s")
    parser.add_argument("--simulate", nargs="*", metavar="MESSAGE",
                        help="also send the signal file's messages with a period (these only, when named)")
    args = parser.parse_args(argv)
    try:
        duration = None if args.duration is None else _duration.seconds(args.duration, "--duration")
    except ValueError as error:
        parser.error(str(error))
    signals = args.signals or os.environ.get("VELK_SIGNALS")
    sys.path.insert(0, os.path.dirname(os.path.abspath(args.script)))
    nodes = _nodes_of(args.script)
    if not nodes:
        _report(say("%s makes no velk.Node", args.script))
        return 2
    try:
        for node in nodes:
            node.start(bus=args.bus, signals=signals, velkctl=args.velkctl)
        if args.simulate is not None:
            nodes[0].bus.simulate(only=args.simulate or None)
        deadline = None if duration is None else time.monotonic() + duration
        # Until the time is up, or a node's session ends (the node has said why).
        while (deadline is None or time.monotonic() < deadline) and not any(node.failure for node in nodes):
            time.sleep(0.1 if deadline is None else max(0.0, min(0.1, deadline - time.monotonic())))
    except KeyboardInterrupt:
        pass
    except VelkError as error:
        _report(str(error))
        return 1
    finally:
        for node in nodes:
            node.stop()
    raised = sum(len(node.errors) for node in nodes)
    if raised:
        _report(say("handlers raised %d time(s)", raised))
    return 1 if raised or any(node.failure or node.lost for node in nodes) else 0


if __name__ == "__main__":
    sys.exit(main())

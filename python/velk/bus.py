"""velk.Bus: one `velkctl session` process and its JSON-lines protocol."""

import collections
import json
import math
import os
import re
import shutil
import subprocess
import sys
import threading
import time

from velk import _duration
from velk._journal import Journal
from velk._message import Message, code_text
from velk._text import say
from velk._wine import windows_command
from velk.errors import ExpectTimeout, VelkError

_STRING_CODE = 0x30000200
_ARRAY_CODE = 0x30000400
_OPS = ("eq", "ne", "lt", "le", "gt", "ge")
_VARIABLES = 64
# How long past its own duration a request may take to be answered before
# the session counts as stuck.
_ANSWER_GRACE = 10.0
# How long a request that could not be written waits for velkctl's output to end.
_END_WAIT = 2.0


def _refusal(answer):
    """A refused request's text, without the session's line number, which
    says nothing to a script."""
    error = answer.get("error", "refused")
    return "velkctl session: " + re.sub(r"^line [0-9]+: ", "", error)


def _target(target, mask=None):
    """The "code" or "signal" field of a request: an int is a code, a str a signal."""
    if isinstance(target, str):
        if mask is not None:
            raise ValueError(say("a mask goes with a code, not with signal %r", target))
        return {"signal": target}
    text = code_text(target)
    if mask is not None:
        text += "/" + code_text(mask)
    return {"code": text}


def _subject(target, mask=None):
    """The predicate's first word."""
    field = _target(target, mask)
    return field.get("signal") or field["code"]


def _operand(value):
    """The predicate's VALUE: a number, or a word; a text with blanks or
    quotes goes in double quotes (a text signal's VALUE)."""
    if isinstance(value, bool):
        raise ValueError(say("a predicate compares with a number, an enum name or a text, not %r", value))
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        if not math.isfinite(value):
            raise ValueError(say("cannot compare with %r", value))
        return repr(value)
    if isinstance(value, str):
        if value and not any(c.isspace() or c in '"\\' for c in value):
            return value
        return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')
    raise ValueError(say("a predicate compares with a number, an enum name or a text, not %r", value))


def _bundled_velkctl():
    """Where a platform wheel of the release keeps velkctl.exe and velk.dll."""
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin", "velkctl.exe")


def find_velkctl(given=None):
    """The velkctl program: given (velkctl=, --velkctl), else $VELKCTL, else
    velkctl on PATH, else the one the wheel carries. VelkError naming every
    place looked at when there is none."""
    if given:
        return given
    if os.environ.get("VELKCTL"):
        return os.environ["VELKCTL"]
    on_path = shutil.which("velkctl") or shutil.which("velkctl.exe")
    if on_path:
        return on_path
    bundled = _bundled_velkctl()
    if os.path.isfile(bundled):
        return bundled
    raise VelkError(say("velkctl not found: no velkctl= (pytest: --velkctl), VELKCTL is not set, no velkctl on PATH, "
                        "and %s is not there (the Windows wheel of a release zip carries it)", bundled))


def velkctl_command(velkctl, environ=None):
    """(command line, environment) of velkctl, its command and arguments to
    follow; an .exe runs through Wine off Windows (velk._wine picks the loader)."""
    environ = dict(os.environ if environ is None else environ)
    if not os.path.isfile(velkctl) and shutil.which(velkctl) is None:
        raise VelkError(say("velkctl not found at %s", velkctl))
    if velkctl.endswith(".py"):
        return [sys.executable, velkctl], environ
    if velkctl.lower().endswith(".exe"):
        return windows_command(velkctl, environ)
    return [velkctl], environ


def session_command(velkctl, signals=None, environ=None):
    """(command line, environment) of the session."""
    command, environ = velkctl_command(velkctl, environ)
    command.append("session")
    if signals:
        command += ["--signals", str(signals)]
    return command, environ


class Waiter:
    """An armed expect: wait() for its verdict."""

    def __init__(self, bus, request_id, match, within, event=None):
        self._bus = bus
        self._id = request_id
        self.match = match
        self.within = within
        self._answer = None   # kept: wait() may be asked again
        self._event = event   # the journal's, given its outcome

    def wait(self):
        """The matching Message, or velk.ExpectTimeout saying what was seen."""
        __tracebackhide__ = True   # a failed test's traceback ends at its own line
        if self._answer is None:
            self._answer = self._bus._answer(self._id, self.within + _ANSWER_GRACE)
        answer = self._answer
        event = self._event
        if answer.get("matched"):
            message = self._bus._seen(Message(answer["msg"]))
            if event is not None:
                event.outcome, event.ended = "matched", self._bus.test_time(message.time)
            return message
        seen = int(answer.get("seen", 0))
        last = self._bus._seen(Message(answer["last"])) if "last" in answer else None
        if last is None:
            text = say("no message with %s within %gs: none of those codes came at all", self.match, self.within)
        else:
            text = say("no message with %s within %gs: %d of those codes came, the last %s", self.match, self.within,
                       seen, last)
        if event is not None:
            event.outcome, event.ended, event.said = "timed out", event.at + self.within, text
        raise ExpectTimeout(text, seen, last)


class Subscription:
    """Messages of a code or signal as they come; get() the next, close() to stop."""

    def __init__(self, bus, number, queue):
        self._bus = bus
        self.number = number
        self._queue = queue

    def get(self, timeout=1.0):
        """The next message, or None when none came within timeout (seconds or a duration; 0: only one
        already come)."""
        deadline = time.monotonic() + _duration.seconds(timeout, "timeout", zero=True)
        with self._bus._lock:
            while not self._queue:
                left = deadline - time.monotonic()
                if left <= 0 or self._bus._ended:
                    return None
                self._bus._changed.wait(left)
            return self._queue.popleft()

    def listen(self, listener):
        """From now on listener(message) is called with each message instead of keeping it for get(), those
        already kept first; on the bus's reader thread, so it must not wait for the bus."""
        with self._bus._lock:
            for message in self._bus._queues.pop(self.number, ()):
                listener(message)
            self._bus._listeners[self.number] = listener

    def close(self):
        self._bus._call("unsubscribe", sub=self.number)
        with self._bus._lock:
            self._bus._closed.add(self.number)
            self._bus._queues.pop(self.number, None)


class _Variables:
    """bus.variables[3] = 7; bus.variables[3] -> 7; the bus's 64 public variables."""

    def __init__(self, bus):
        self._bus = bus

    def _index(self, index):
        if not isinstance(index, int) or not 0 <= index < _VARIABLES:
            raise IndexError(say("variables are 0-%d, not %r", _VARIABLES - 1, index))
        return index

    def __getitem__(self, index):
        return self._bus._call("var-get", index=self._index(index))["value"]

    def __setitem__(self, index, value):
        self._bus._call("var-set", index=self._index(index), value=int(value))

    def __len__(self):
        return _VARIABLES

    def __iter__(self):
        return iter(range(_VARIABLES))


class Bus:
    """A `velkctl session` on a bus, as a context manager.

    bus: the bus name (VELK_BUS_NAME of the session); signals: a signal file
    for names; velkctl: the program (else $VELKCTL, else on PATH, else the
    wheel's own). recent keeps the last messages seen; start_timeout is how
    long open() waits for velkctl's first answer (Wine's first start on a
    busy machine takes a while). Every time it takes, here and in its
    methods, is seconds or a duration like "250ms" (velk/_duration.py)."""

    # A subscription keeps at most this many messages not yet taken; past it the oldest go, counted in lost.
    QUEUE_LIMIT = 100000

    def __init__(self, bus=None, signals=None, velkctl=None, recent=50, start_timeout=60.0):
        self.bus = bus
        self.signals = signals
        self.velkctl = velkctl
        self.start_timeout = _duration.seconds(start_timeout, "start_timeout")
        self.recent = collections.deque(maxlen=recent)
        self.variables = _Variables(self)
        self._process = None
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._answers = {}
        self._queues = {}      # by subscription; events may come before subscribe's answer
        self._listeners = {}   # by subscription: called with each message instead of queueing it
        self._closed = set()
        self.lost = 0          # events dropped from full subscription queues
        self._next_id = 1
        self._ended = False
        self._stderr = collections.deque(maxlen=20)
        self._protocol_error = None   # [the first unexpected line, how many more], until reported
        self._readers = []
        self._stderr_read = threading.Event()
        self._exit_status = None
        self._why = None         # why the session ended, once velkctl's output has ended
        self._when_ended = []    # called with why then
        self.journal = Journal()   # what the test under way did, for its report
        # time.monotonic() when the session's clock read 0, as near as its messages' arrival tells
        self._session_start = None

    # -- the process --------------------------------------------------------

    def __enter__(self):
        self.open()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def open(self):
        command, env = session_command(find_velkctl(self.velkctl), self.signals)
        if self.bus:
            env["VELK_BUS_NAME"] = str(self.bus)
        try:
            self._process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                             stderr=subprocess.PIPE, env=env)
        except OSError as error:
            raise VelkError(say("cannot start %s: %s", " ".join(command), error))
        self._stderr_read.clear()
        for target, arguments in ((self._read_answers, (self._process.stdout, self._process)),
                                  (self._read_stderr, (self._process.stderr,))):
            reader = threading.Thread(target=target, args=arguments, daemon=True)
            reader.start()
            self._readers.append(reader)
        try:
            # The bus answers: it is there and usable.
            self._answer(self._send("counters", {}), self.start_timeout,
                         say("velkctl session did not answer within %gs of starting (velk.Bus(start_timeout=) "
                             "gives it longer)", self.start_timeout))
        except VelkError:
            self.close()
            raise
        with self._lock:
            self._clock_reads(0.0)

    def close(self):
        process = self._process
        if process is None:
            return
        try:
            if not self._ended:
                self._answer(self._send("quit", {}), _ANSWER_GRACE)
        except VelkError:
            pass
        self._process = None
        try:
            process.stdin.close()
        except OSError:
            pass
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)
        for reader in self._readers:
            reader.join(timeout=2)

    def _read_answers(self, stream, process):
        # Whatever a line holds, the reader goes on: velkctl's output must
        # stay drained. A line of another shape is kept to be reported once,
        # as a protocol error, by the next call.
        for raw in stream:
            try:
                line = json.loads(raw.decode("utf-8"))
                with self._lock:
                    self._take_line(line)
                    self._changed.notify_all()
            except Exception as error:   # noqa: BLE001 (any shape of line, any fault in it)
                with self._lock:
                    self._note_protocol_error("unexpected line from velkctl (%s): %r" % (error.__class__.__name__, raw[:200]))
                    self._changed.notify_all()
        # Why it ended, with velkctl's last words, before anyone is told it
        # ended (a process Wine started may hold stderr open: not waited for
        # long).
        self._stderr_read.wait(0.5)
        try:
            status = process.wait(timeout=1)
        except subprocess.TimeoutExpired:
            status = None
        with self._lock:
            self._exit_status = status
            why = self._why = self._why_ended()
            self._ended = True
            self._changed.notify_all()
            told = list(self._when_ended)
        for tell in told:
            tell(why)

    @property
    def ended(self):
        """True once velkctl's output has ended (the session gone, closed or not)."""
        return self._ended

    def when_ended(self, tell):
        """tell(why) once velkctl's output has ended (at once when it has): why is velk's text of it, with the
        exit status and velkctl's last words; on the bus's reader thread."""
        with self._lock:
            why = self._why
            if why is None:
                self._when_ended.append(tell)
        if why is not None:
            tell(why)

    def _take_line(self, line):
        """One line of the session, under the lock; raises on a line of another shape."""
        if not isinstance(line, dict):
            raise TypeError("not an object")
        if line.get("ev") == "msg":
            message = Message(line)
            self._clock_reads(message.time)
            self.recent.append(message)
            sub = line.get("sub")
            if sub in self._listeners:
                self._listeners[sub](message)
            elif sub not in self._closed:
                queue = self._queues.setdefault(sub, collections.deque())
                if len(queue) >= self.QUEUE_LIMIT:
                    queue.popleft()
                    self.lost += 1
                queue.append(message)
        elif "id" in line:
            request_id = line["id"]
            if not isinstance(request_id, int) or isinstance(request_id, bool):
                raise TypeError("id is not a number")
            self._answers[request_id] = line
            for key in ("msg", "last"):
                if isinstance(line.get(key), dict):
                    self._clock_reads(line[key].get("t"))
        else:
            raise ValueError("neither an answer nor an event")

    def _clock_reads(self, seconds):
        """A message stamped seconds by the session has just come: its clock started no later than now minus
        that (the earliest such start is the nearest)."""
        try:
            start = time.monotonic() - float(seconds)
        except (TypeError, ValueError):
            return
        if self._session_start is None or start < self._session_start:
            self._session_start = start

    def test_time(self, seconds):
        """A time of the session's clock (a message's) as seconds since the journal's test started."""
        start = self._session_start if self._session_start is not None else self.journal.start
        return float(seconds) + start - self.journal.start

    def _note_protocol_error(self, text):
        if self._protocol_error is None:
            self._protocol_error = [text, 0]
        else:
            self._protocol_error[1] += 1

    def _take_protocol_error(self):
        """The unexpected lines since the last report, as a VelkError (None when there were none)."""
        noted, self._protocol_error = self._protocol_error, None
        if noted is None:
            return None
        more = " (and %d more)" % noted[1] if noted[1] else ""
        return VelkError("velkctl session: protocol error: %s%s" % (noted[0], more))

    def _read_stderr(self, stream):
        for raw in stream:
            with self._lock:
                self._stderr.append(raw.decode("utf-8", "replace").rstrip())
        self._stderr_read.set()

    def _why_ended(self):
        said = "; ".join(self._stderr)
        if self._exit_status is None:
            ended = say("velkctl session ended")
        else:
            ended = say("velkctl session ended (exit status %d)", self._exit_status)
        return ended + (": " + said if said else "")

    # -- requests -----------------------------------------------------------

    def _send(self, op, fields):
        if self._process is None:
            raise VelkError(say("the bus is not open (use it in a with block)"))
        with self._lock:
            error = self._take_protocol_error()
            if error is not None:
                raise error
            if self._ended:
                raise VelkError(self._why_ended())
            request_id = self._next_id
            self._next_id += 1
        line = dict(id=request_id, op=op, **fields)
        try:
            self._process.stdin.write((json.dumps(line, ensure_ascii=False) + "\n").encode("utf-8"))
            self._process.stdin.flush()
        except (OSError, ValueError):
            # velkctl has gone: its output ends too, and then the bus is ended (as a caller may check) and the
            # text says how, exit status included.
            with self._lock:
                self._changed.wait_for(lambda: self._ended, _END_WAIT)
                raise VelkError(self._why_ended())
        return request_id

    def _answer(self, request_id, timeout, late=None):
        __tracebackhide__ = True
        deadline = time.monotonic() + timeout
        with self._lock:
            while request_id not in self._answers:
                left = deadline - time.monotonic()
                if self._ended:
                    raise VelkError(self._why_ended())
                if left <= 0:
                    error = self._take_protocol_error()
                    said = "; " + str(error) if error is not None else ""
                    raise VelkError((late or say("velkctl session did not answer request %d in %gs", request_id,
                                                 timeout)) + said)
                self._changed.wait(left)
            answer = self._answers.pop(request_id)
        if not answer.get("ok"):
            raise VelkError(_refusal(answer))
        return answer

    def _call(self, op, wait=0.0, **fields):
        __tracebackhide__ = True
        return self._answer(self._send(op, fields), wait + _ANSWER_GRACE)

    def _seen(self, message):
        with self._lock:
            self.recent.append(message)
        return message

    # -- the API ------------------------------------------------------------

    def post(self, target, value):
        """A value by code (int) or by signal name (str; value a number or enum name)."""
        __tracebackhide__ = True
        if isinstance(target, str):
            if not isinstance(value, (int, float, str)) or isinstance(value, bool):
                raise ValueError(say("a signal takes a number or an enum name, not %r", value))
        elif not isinstance(value, int) or isinstance(value, bool):
            raise ValueError(say("a code's value is an int, not %r", value))
        self._call("post", value=value, **_target(target))
        self.journal.note("post", target, str(value))

    def send_str(self, channel, text):
        """A string on channel 0-255 (code 30000200 + channel), or to a string
        message by name (str), in the encoding its signal file gives."""
        if isinstance(channel, str):
            self._call("post", signal=channel, text=str(text))
        else:
            channel = _STRING_CODE | self._channel(channel)
            self._call("post", code=code_text(channel), text=str(text))
        self.journal.note("post", channel, repr(str(text)))

    def send_arr(self, channel, data):
        """An array payload on channel 0-255 (code 30000400 + channel)."""
        code = _ARRAY_CODE | self._channel(channel)
        self._call("post", code=code_text(code), bytes=bytes(data).hex())
        self.journal.note("post", code, bytes(data).hex() or "-")

    @staticmethod
    def _channel(channel):
        if not isinstance(channel, int) or not 0 <= channel <= 255:
            raise ValueError(say("a channel is 0-255, not %r", channel))
        return channel

    def expect(self, target, eq=None, ne=None, lt=None, le=None, gt=None, ge=None, changed=False, contains=None,
               within=1.0, mask=None):
        """Arms at once (before the stimulus); wait() on the Waiter for the verdict.

        One of eq ne lt le gt ge (a number, or an enum name), changed=True,
        contains (a text signal; eq and ne take a text too), or none: any
        message of the target. A mistake in it (a misspelt name) raises here."""
        __tracebackhide__ = True
        given = [(op, value) for op, value in zip(_OPS + ("contains",), (eq, ne, lt, le, gt, ge, contains))
                 if value is not None]
        if changed:
            given.append(("changed", None))
        if len(given) > 1:
            raise ValueError(say("expect takes one of eq ne lt le gt ge changed contains, or none, not %d", len(given)))
        match = _subject(target, mask)
        if given:
            op, value = given[0]
            match += " " + op
            if value is not None:
                match += " " + _operand(value)
        armed = self.journal.now()
        request_id = self._send("expect", {"match": match, "within": _duration.request_text(within, "within")})
        # A bad expect is answered at once, before a request sent after it.
        self._call("counters")
        with self._lock:
            refused = self._answers.get(request_id)
            if refused is not None and not refused.get("ok"):
                del self._answers[request_id]
        if refused is not None and not refused.get("ok"):
            raise VelkError(_refusal(refused))
        within = _duration.seconds(within, "within")
        event = self.journal.note("expect", target, match, within)
        event.at = armed
        return Waiter(self, request_id, match, within, event)

    def collect(self, target=0, over=1.0, mask=None, max=None):
        """The messages of a code (mask), a signal, or all (the default) for over (seconds or a duration)."""
        if target == 0 and mask is None:
            mask = 0
        fields = dict(_target(target, mask), over=_duration.request_text(over, "over"))
        if max is not None:
            fields["max"] = int(max)
        answer = self._call("collect", wait=_duration.seconds(over, "over"), **fields)
        return [self._seen(Message(fields)) for fields in answer["msgs"]]

    def rate(self, target, over=1.0, mask=None):
        """The measured rate in Hz of a code, message or signal over a time, by bus timestamps."""
        return self._rate(target, over, mask)["hz"]

    def _rate(self, target, over, mask):
        if mask is None:
            target = self.message_code(target)
        return self._call("rate", wait=_duration.seconds(over, "over"), over=_duration.request_text(over, "over"),
                          **_target(target, mask))

    def message_code(self, target):
        """A message's name as its code (by the signal file); a signal's name or a code as given."""
        if isinstance(target, str):
            try:
                return self.describe(target)["code"]
            except VelkError:   # no such message (or no signal file): a signal's name
                pass
        return target

    def assert_rate(self, target, hz, tolerance=0.1, over=2.0, mask=None):
        """AssertionError unless the rate of a code, message or signal is within tolerance (a fraction) of
        hz; returns the rate."""
        __tracebackhide__ = True
        answer = self._rate(target, over, mask)
        over = _duration.seconds(over, "over")
        measured = answer["hz"]
        if abs(measured - hz) > tolerance * hz:
            raise AssertionError(say("rate of %s was %.3f Hz (%d messages in %gs), expected %g Hz +- %g%%",
                                     _subject(target, mask), measured, answer["count"], over, hz, tolerance * 100))
        return measured

    def replay(self, path, speed=1, timeout=600.0):
        """Posts a recording's messages again with their recorded spacing divided by speed (0: as fast as the
        bus takes them), as velkctl replay does: a file, a .gz, or a series of parts by its FILE, first part,
        glob or folder. Returns when the last is posted (their events may come after), with the counts: posted,
        triggers and expired (posted messages a trigger mark or an expired payload's note came before), parts,
        seconds, and notice when the reader passed over a torn end. VelkError for a missing or bad recording
        (nothing is posted from a recording with a bad line) or after timeout (seconds or a duration)."""
        __tracebackhide__ = True
        if isinstance(speed, bool) or not isinstance(speed, (int, float)):
            raise ValueError(say("a replay's speed is a number, not %r", speed))
        wait = _duration.seconds(timeout, "timeout")
        answer = self._answer(self._send("replay", {"file": os.fspath(path), "speed": speed}), wait + _ANSWER_GRACE)
        return {key: answer[key] for key in ("posted", "triggers", "expired", "parts", "seconds", "notice")
                if key in answer}

    def recent_messages(self, max=100):
        """The bus's last messages (up to max, 1 to 1000), whatever their codes,
        the session's own posts among them, oldest first: what a failed test's
        report shows."""
        return [Message(fields) for fields in self._call("recent", max=int(max))["msgs"]]

    def clients(self):
        """The registered windows: dicts of handle, mask, pid, name."""
        return self._call("clients")["clients"]

    def counters(self):
        """The bus's counters by name."""
        return self._call("counters")["counters"]

    def subscribe(self, target, mask=None):
        """A Subscription to the messages of a code (with mask) or signal."""
        answer = self._call("subscribe", **_target(target, mask))
        self.journal.note("subscribe", target, "" if mask is None else "/" + code_text(mask))
        with self._lock:
            queue = self._queues.setdefault(answer["sub"], collections.deque())
        return Subscription(self, answer["sub"], queue)

    # -- the simulation (docs/simulate.md): the session's own, of its signal file

    def simulate(self, only=None, except_=None):
        """Sends every message of the signal file that has a period, or those named in only, or all but except_."""
        fields = {}
        if only:
            fields["only"] = " ".join(only)
        if except_:
            fields["except"] = " ".join(except_)
        self._call("simulate", **fields)

    def set(self, signal, value):
        """A simulated signal's value from its next send on: a number, an enum name, true/false or a text."""
        self._call("set", signal=signal, value=value)

    def start(self, message=None, period=None):
        """Starts sending a message (with a period when the file gives none), or every simulated one."""
        fields = {"message": message} if message else {}
        if period is not None:
            fields["period"] = _duration.request_text(period, "period")
        self._call("start", **fields)

    def stop(self, message=None):
        """Stops sending a message, or every one."""
        self._call("stop", **({"message": message} if message else {}))

    def period(self, message, seconds):
        """A message's new period, from its next deadline on."""
        self._call("period", message=message, period=_duration.request_text(seconds, "period"))

    def send(self, message, **values):
        """Sends a message of the signal file now: its fields set to values first (a value or string message
        takes value=), its counter counting and its checksum written as in its periodic sends."""
        self._call("send", message=message, values=values)

    def describe(self, message):
        """A message of the signal file: code (int), kind, period (seconds or None), running, signals."""
        answer = self._call("describe", message=message)
        return {"code": int(answer["code"], 16), "kind": answer["kind"], "period": answer["period"],
                "running": answer["running"], "signals": answer["signals"]}

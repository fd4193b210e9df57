"""What a test did on the bus, for its HTML report: its posts, subscriptions
and expects (predicate, window, outcome), times in seconds from the test's
start. Bounded: past LIMIT events only a count is kept."""

import time

LIMIT = 50
# Signals and codes a test touched, drawn in its plot: velkctl plot's limit.
TOUCHED_LIMIT = 8
# Of those beyond it, the names kept to say which were not drawn.
BEYOND_LIMIT = 100


def target_text(target):
    """A target as the report and velkctl plot name it: a signal's name, or a code in 8 hex digits."""
    return target if isinstance(target, str) else "%08x" % target


class Event:
    """One thing the test did: kind ("post", "subscribe", "expect"), target,
    detail (the value posted, the predicate), at (seconds from the test's
    start); an expect's window (within) and outcome (None until waited for,
    "matched" or "timed out") with ended (when) and said (its text)."""

    __slots__ = ("kind", "target", "detail", "at", "within", "outcome", "ended", "said")

    def __init__(self, kind, target, detail, at, within=None):
        self.kind, self.target, self.detail, self.at, self.within = kind, target, detail, at, within
        self.outcome = self.ended = self.said = None


class Journal:
    """The events of the test under way (begin() starts the next one)."""

    def __init__(self, clock=time.monotonic):
        self._clock = clock
        self.begin()

    def begin(self):
        self.start = self._clock()
        self.events = []
        self.left_out = 0
        self.touched = []       # target texts, first touched first, at most TOUCHED_LIMIT
        self.beyond = set()     # further targets, not drawn

    def now(self):
        """Seconds since the test started."""
        return self._clock() - self.start

    def note(self, kind, target, detail, within=None):
        """The event, kept when there is room (a later outcome is still set on it)."""
        text = target_text(target)
        if text not in self.touched:
            if len(self.touched) < TOUCHED_LIMIT:
                self.touched.append(text)
            elif len(self.beyond) < BEYOND_LIMIT:   # a Bus outside pytest never begins again
                self.beyond.add(text)
        event = Event(kind, text, detail, self.now(), within)
        if len(self.events) < LIMIT:
            self.events.append(event)
        else:
            self.left_out += 1
        return event

    def failed_expect(self):
        """The first expect that timed out, or None."""
        return next((event for event in self.events if event.outcome == "timed out"), None)

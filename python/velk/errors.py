"""What the package raises."""


class VelkError(Exception):
    """The test system failed: velkctl missing, no bus, the session ended, a
    request refused. Not a verdict on the device."""


class ExpectTimeout(AssertionError):
    """An expect saw no matching message in time; the text says what came instead.

    seen: how many messages of the expected codes came while it was armed;
    last: the last of them (a velk.Message) or None."""

    def __init__(self, text, seen=0, last=None):
        AssertionError.__init__(self, text)
        self.seen = seen
        self.last = last

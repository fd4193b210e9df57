"""A message as velkctl session writes it (docs/session.md)."""

from velk._text import say


def _signals(decoded):
    """monitor's "signals" object as values and labels: a number, True or
    False, a text, None for a field the array lacks; an enum's raw value,
    with its name in labels. NaN and infinities stay the strings "NaN",
    "inf" and "-inf", as the line writes them."""
    values, labels = {}, {}
    for name, value in decoded.items():
        if isinstance(value, dict):
            values[name] = value.get("raw")
            if value.get("name") is not None:
                labels[name] = value["name"]
        else:
            values[name] = value
    return values, labels


class Message:
    """One bus message: code, kind ("value", "string", "array"), value (value
    messages), bytes and text (payloads), time (seconds since the session
    started, by the bus's timestamps), signals and labels (with a signal file:
    every signal of the message by name, texts included; labels the enum
    names), faults ("crc", "cnt": a bad checksum, a counter that skipped or
    repeated). Read from a recording (velk.read_recording): time on its axis,
    expired for a payload gone when it was recorded, trigger for the message
    record --trigger fired on."""

    __slots__ = ("code", "kind", "value", "bytes", "text", "time", "signals", "labels", "expired", "faults", "trigger")

    def __init__(self, fields):
        self.code = int(fields["code"], 16)
        self.kind = fields["kind"]
        self.value = fields.get("value")
        self.bytes = bytes.fromhex(fields.get("bytes", ""))
        self.text = fields.get("text")
        self.time = float(fields["t"])
        self.signals, self.labels = _signals(fields.get("signals", {}))
        self.expired = bool(fields.get("expired", False))
        self.faults = dict(fields.get("faults", {}))
        self.trigger = bool(fields.get("trigger", False))

    def __str__(self):
        if self.kind == "value":
            data = str(self.value)
        elif self.text is not None:
            data = repr(self.text)
        else:
            data = self.bytes.hex() or "-"
        line = "%.6f %08x %s %s" % (self.time, self.code, self.kind, data)
        for name, value in self.signals.items():
            shown = self.labels.get(name, value)
            line += " %s=%s" % (name, '"%s"' % shown if isinstance(value, str) else shown)
        for fault in self.faults:
            line += " !" + fault
        return line

    def __repr__(self):
        return "<velk.Message %s>" % self


def code_text(code):
    """A code as the protocol writes it: 8 hex digits."""
    if not isinstance(code, int) or isinstance(code, bool) or not 0 <= code <= 0xFFFFFFFF:
        raise ValueError(say("a code is an int from 0 to 0xffffffff, not %r", code))
    return "%08x" % code

"""Durations, the one rule of every time the package takes (Bus's timeouts,
windows and periods, Node.every): seconds as a number, or a text in
velkctl's grammar, a decimal number and a unit us, ms, s, m or h ("100ms",
"2.5s", "3m"; a bare number is seconds). Whole microseconds, at most 100
days, as velkctl takes them."""

import math
import re

from velk._text import say

_UNITS = {"us": 1, "ms": 1000, "s": 1000000, "m": 60000000, "h": 3600000000}
_TEXT = re.compile(r"(-?)(\d*)(?:\.(\d+))?(us|ms|s|m|h|)")
_MAX_MICROS = 100 * 24 * 3600 * 1000000


def micros(value, what, zero=False):
    """value (a number of seconds or a duration text) in whole microseconds;
    ValueError naming what (the argument) and what it takes. zero: 0 is
    allowed (a poll), else a duration is at least 1us."""
    count = _micros(value)
    if count is None:
        raise ValueError(say("%s takes seconds or a duration like '100ms', '2.5s' or '3m' (units us, ms, s, m, h), "
                             "not %r", what, value))
    if count > _MAX_MICROS:
        raise ValueError(say("%s is at most 100 days, not %r", what, value))
    if count < 0 or (count == 0 and not zero):
        raise ValueError(say("%s must be more than 0, not %r", what, value) if not zero else
                         say("%s must not be negative, not %r", what, value))
    return count


def seconds(value, what, zero=False):
    """The same in seconds (a float)."""
    return micros(value, what, zero) / 1e6


def request_text(value, what):
    """The same as a velkctl request takes it ("250000us")."""
    return "%dus" % micros(value, what)


def _micros(value):
    """Microseconds of a number (rounded to the nearest) or of a text (exact);
    None when it is neither, or a text finer than a microsecond."""
    if isinstance(value, bool):
        return None
    if not isinstance(value, str):
        try:
            value = float(value)   # any number: an int, a float, numpy's
        except (TypeError, ValueError):
            return None
        if not math.isfinite(value):
            return None
        if abs(value) > _MAX_MICROS / 1e6:
            return int(math.copysign(_MAX_MICROS + 1, value))
        return int(round(value * 1e6))
    found = _TEXT.fullmatch(value.strip())
    if found is None or not (found.group(2) or found.group(3)):
        return None
    # Leading and trailing zeros aside, more than 20 whole digits is too long
    # anyway, and more than 6 of a fraction finer than a microsecond.
    whole = found.group(2).lstrip("0")[:20] or "0"
    fraction = (found.group(3) or "").rstrip("0")
    scale = _UNITS[found.group(4) or "s"]
    if len(fraction) > 6 or int(fraction or "0") * scale % 10 ** len(fraction):
        return None
    count = int(whole) * scale + int(fraction or "0") * scale // 10 ** len(fraction)
    return -count if found.group(1) else count

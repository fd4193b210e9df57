"""A failed test's picture for its HTML report: the messages it saw written
as a recording (times from the test's start) and drawn by `velkctl plot`,
the one drawing of every velk chart, the expect's window shaded and the
failure marked. velkctl's --version for the report's setup."""

import os
import subprocess
import tempfile

from velk.bus import velkctl_command
from velk.errors import VelkError

_KINDS = {"value": "V", "string": "S", "array": "A"}
# Any one run of velkctl here (Wine's start included) takes at most this long.
_RUN_LIMIT = 120


def record_line(seconds, message):
    """message as a line of velkctl's recordings, seconds its time."""
    if message.kind == "value":
        value = int(message.value) & 0xFFFFFFFF
        data = str(value - (1 << 32) if value >= 1 << 31 else value)
    else:
        data = message.bytes.hex() or "-"
    return "%.6f %08x %s %s" % (seconds, message.code, _KINDS[message.kind], data)


def recording(messages, test_time, span):
    """The text of a recording of the messages (each once) whose times, test_time(message.time), fall in 0..span,
    in time order."""
    rows = {}
    for message in messages:
        seconds = test_time(message.time)
        if 0 <= seconds <= span and message.kind in _KINDS:
            rows.setdefault((round(seconds, 6), message.code, message.value, message.bytes), message)
    lines = ["# velk record 1"] + [record_line(key[0], rows[key]) for key in sorted(rows, key=lambda k: (k[0], k[1]))]
    return "\n".join(lines) + "\n"


def _run(velkctl, arguments, cwd=None):
    """(exit status, standard output, standard error) of velkctl with arguments."""
    command, environ = velkctl_command(velkctl)
    try:
        done = subprocess.run(command + arguments, cwd=cwd, env=environ, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=_RUN_LIMIT)
    except (OSError, subprocess.SubprocessError) as error:
        return None, "", str(error)
    return done.returncode, _text(done.stdout), _text(done.stderr)


def _text(said):
    """velkctl's output: UTF-8, else the Chinese system code page it writes on one."""
    try:
        return said.decode("utf-8")
    except UnicodeDecodeError:
        return said.decode("gbk", "replace")


def plot(velkctl, signals, messages, touched, test_time, span, shade=None, mark=None, title=""):
    """(svg, None), the SVG document without its XML declaration, or (None, why not).

    touched: signal names and codes (8 hex digits) to draw; span: the test's length in seconds; shade: (from, to)
    and mark: seconds from the test's start."""
    names = [target for target in touched if not _is_code(target)]
    codes = [target for target in touched if _is_code(target)]
    if not signals:
        names = []
    if not names and not codes:
        return None, ("没有可画的：测试没有触及代码，而信号名需要信号文件\n"
                      "nothing to draw: no code touched, and signal names need a signal file")
    arguments = ["plot", "messages.txt", "--out", "plot.svg", "--from", "0", "--to", "%.6f" % max(span, 0.001),
                 "--title", title]
    if signals:
        arguments += ["--signals", os.path.abspath(signals)]
    for name in names:
        arguments += ["--signal", name]
    for code in codes:
        arguments += ["--code", code]
    if shade is not None:
        arguments += ["--shade", "%.6f" % max(shade[0], 0), "%.6f" % max(shade[1], shade[0] + 1e-6, 1e-6)]
    if mark is not None:
        arguments += ["--mark", "%.6f" % max(mark, 0)]
    with tempfile.TemporaryDirectory(prefix="velk-plot-") as folder:
        with open(os.path.join(folder, "messages.txt"), "w") as out:
            out.write(recording(messages, test_time, span))
        try:
            status, _, said = _run(velkctl, arguments, cwd=folder)
        except VelkError as error:
            return None, str(error)
        if status != 0:
            return None, "velkctl plot: %s" % (said.strip() or "exit status %s" % status)
        try:
            with open(os.path.join(folder, "plot.svg"), encoding="utf-8", errors="replace") as drawn:
                svg = drawn.read()
        except OSError as error:
            return None, "velkctl plot: %s" % error
    return svg[svg.find("<svg"):] if "<svg" in svg else svg, None


def _is_code(target):
    return len(target) == 8 and all(c in "0123456789abcdef" for c in target)


def version(velkctl):
    """velkctl --version's line, or what went wrong."""
    try:
        status, said, error = _run(velkctl, ["--version"])
    except VelkError as problem:
        return str(problem)
    return said.strip() if status == 0 and said.strip() else (error.strip() or "exit status %s" % status)

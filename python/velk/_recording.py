"""velk.read_recording: a recording's messages as velkctl reads them. The
record format, its parts and its gzip members have one reader, velkctl's:
`velkctl export FILE --jsonl --out -` checks the whole recording, then writes
a JSON line a message, read here one at a time, so a recording of any length
holds one line in memory (and the pipe's few kilobytes)."""

import json
import os
import subprocess
import threading

from velk._message import Message
from velk._plot import _text
from velk._text import say
from velk.bus import find_velkctl, velkctl_command
from velk.errors import VelkError

# Of velkctl's standard error only the last lines are kept: its fault and summary.
_STDERR_KEPT = 64 * 1024


def read_recording(path, signals=None, velkctl=None):
    """The messages of a recording, in order, one at a time: a file, a .gz,
    or a series of parts by its FILE, its first part, a glob or its folder,
    exactly as velkctl replay reads it. Each a velk.Message: time (seconds on
    the recording's axis), code, kind, value, bytes, text; expired for a
    payload gone when it was recorded, trigger for the message a trigger
    fired on; with signals (a signal file), its decoded signals. VelkError
    with velkctl's words when there is no such recording or a line is bad
    (before any message: the whole recording is checked first)."""
    command, environ = velkctl_command(find_velkctl(velkctl))
    command += ["export", os.fspath(path), "--jsonl", "--out", "-"]
    if signals:
        command += ["--signals", os.fspath(signals)]
    try:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, env=environ)
    except OSError as error:
        raise VelkError(say("cannot start %s: %s", " ".join(command), error))
    said = bytearray()

    def drain():
        for line in process.stderr:
            said.extend(line)
            del said[:-_STDERR_KEPT]

    reader = threading.Thread(target=drain, daemon=True)
    reader.start()
    try:
        for line in process.stdout:
            yield Message(json.loads(line.decode("utf-8")))
        status = process.wait()
        reader.join()
        if status != 0:
            raise VelkError(say("velkctl cannot read the recording %s (exit status %d): %s", os.fspath(path), status,
                                _text(bytes(said)).strip()))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        process.stdout.close()

#!/usr/bin/env python3
"""velkctl's DBC import decodes as a reference decoder does.

The DBC files Debian's python3-canmatrix installs with itself (j1939.dbc,
tests/test_frame_decoding.dbc: Intel and Motorola, signed, float, value
tables, multiplexing), read from the installed package, and the real car
databases of the opendbc project kept in tests/dbc/opendbc are imported
with `velkctl signals import`, exported again with `signals export --dbc`
and imported once more; random payloads of every message (a multiplexed one
also with its selector at each of its values) are decoded by `velkctl
export --signals` with both signal files and by canmatrix, and every value
must match, with no field the selector does not choose; canmatrix decodes
them from the exported DBC as from the original. canmatrix is a test tool
here, never a dependency.

Usage: dbc_reference.py VELKCTL_EXE (CORVANE_WINE runs it)"""

import csv
import io
import math
import os
import random
import subprocess
import sys
import tempfile
import tomllib

import canmatrix
import canmatrix.formats

PAYLOADS = 4            # random payloads per message, besides all zeros and all ones
WINE = os.environ.get("CORVANE_WINE", "wine")


def velkctl(exe, arguments, where):
    done = subprocess.run([WINE, exe] + arguments, cwd=where, capture_output=True, timeout=300,
                          env=dict(os.environ, VELK_LANG="en"))
    if done.returncode != 0:
        sys.exit("velkctl %s: exit %d\n%s" % (" ".join(arguments), done.returncode, done.stderr.decode(errors="replace")))
    return done.stdout.decode("utf-8-sig")


OPENDBC = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "dbc", "opendbc")


def with_selector(frame, selector, value, data):
    """data with the selector's bits set to value, packed by canmatrix."""
    mask = frame.signals_to_bytes({selector.name: (1 << selector.size) - 1})
    bits = frame.signals_to_bytes({selector.name: value})
    return bytes((byte & ~cleared) | set_ for byte, cleared, set_ in zip(data, mask, bits))


def payloads(frame, rng):
    """All zeros, all ones and random bytes; for a multiplexed frame, random
    bytes again with its selector at each value its signals name (random
    bytes rarely choose one of a wide selector's few)."""
    size = frame.size
    random_bytes = lambda: bytes(rng.getrandbits(8) for _ in range(size))
    yield bytes(size)
    yield bytes([0xFF] * size)
    for _ in range(PAYLOADS):
        yield random_bytes()
    selector = next((signal for signal in frame.signals if signal.is_multiplexer), None)
    if selector is not None and not frame.is_complex_multiplexed:
        for value in sorted({signal.mux_val for signal in frame.signals if signal.mux_val is not None}):
            for _ in range(PAYLOADS // 2):
                yield with_selector(frame, selector, value, random_bytes())


def signal_names(dbc):
    """Each BO_'s SG_ names in the file's order, by message name: canmatrix
    may rename a signal (SystemSignalLongSymbol), the signal file does not."""
    names = {}
    with open(dbc, encoding="latin-1") as text:
        for line in text:
            words = line.split()
            if line.startswith("BO_ ") and len(words) > 2:
                message = names.setdefault(words[2].rstrip(":"), [])
            elif line.startswith(" SG_ ") and len(words) > 1:
                message.append(words[1])
    return names


def reference_values(frame, names, data):
    """canmatrix's decoding: the DBC's signal name to its physical value and
    its value description (None when the value has none), and the names of
    the signals the selector does not choose. A name two signals of the
    frame share is not compared: the import keeps the first."""
    decoded = frame.decode(bytearray(data))
    values, unchosen = {}, set()
    for name, signal in zip(names, frame.signals):
        if names.count(name) == 1 and signal.name not in decoded:
            unchosen.add(name)
        elif names.count(name) == 1:
            value = decoded[signal.name]
            # A 32-bit float is shown to its own precision (9 digits at most).
            tolerance = 1e-7 if signal.is_float and signal.size == 32 else 1e-9
            values[name] = (float(value.phys_value), signal.values.get(value.raw_value), tolerance)
    return values, unchosen


def matches(ours, physical, description, tolerance):
    try:
        number = float(ours)
    except ValueError:
        return description is not None and ours == str(description).strip()
    if math.isnan(number) or math.isnan(physical):
        return math.isnan(number) and math.isnan(physical)
    return math.isclose(number, physical, rel_tol=tolerance, abs_tol=1e-9)


def check(exe, dbc, work, rng):
    shutil_copy = os.path.join(work, os.path.basename(dbc))
    with open(dbc, "rb") as source, open(shutil_copy, "wb") as copy:
        copy.write(source.read())
    name = os.path.basename(dbc)
    velkctl(exe, ["signals", "import", name, "--out", "first.toml"], work)
    velkctl(exe, ["signals", "export", "first.toml", "--dbc", "--out", "again.dbc"], work)
    velkctl(exe, ["signals", "import", "again.dbc", "--out", "again.toml"], work)
    matrix = canmatrix.formats.loadp_flat(dbc)
    names = signal_names(dbc)
    codes, fields = {}, {}
    for toml in ("first.toml", "again.toml"):
        with open(os.path.join(work, toml), "rb") as signal_file:
            messages = tomllib.load(signal_file)["message"]
        codes[toml] = {message["name"]: message["code"] for message in messages}
        fields[toml] = {(message["name"], field["name"]) for message in messages for field in message.get("field", [])}
    assert codes["first.toml"] == codes["again.toml"], "%s: the codes differ after export and import" % name

    lines = ["# velk record 1", "# start 2026-12-10T12:00:00.000+08:00"]
    expected = []   # per recording line: the frame and its payload
    undecodable = 0
    for frame in matrix.frames:
        code = codes["first.toml"].get(frame.name)
        if code is None or frame.size == 0:
            continue
        for data in payloads(frame, rng):
            try:
                values, unchosen = reference_values(frame, names[frame.name], data)
            except ValueError:   # canmatrix cannot: a signal past the frame's size
                undecodable += 1
                break
            lines.append("%.6f %s A %s" % (len(expected) / 1000, code, data.hex()))
            expected.append((frame, data, values, unchosen))
    with open(os.path.join(work, "frames.txt"), "w") as recording:
        recording.write("\n".join(lines) + "\n")

    # canmatrix reads the exported DBC and decodes each payload as from the original.
    exported = canmatrix.formats.loadp_flat(os.path.join(work, "again.dbc"))
    differ, same = [], 0
    for frame, data, values, _ in expected:
        again = exported.frame_by_name(frame.name)
        # Its length is the bytes its signals reach (8 at least): the payload cut or filled to it.
        decoded = again.decode(bytearray(data[:again.size].ljust(again.size, b"\0"))) if again is not None else {}
        for signal, (physical, _, tolerance) in values.items():
            if signal in decoded:
                same += matches(str(float(decoded[signal].phys_value)), physical, None, tolerance)
                if not matches(str(float(decoded[signal].phys_value)), physical, None, tolerance):
                    differ.append("%s.%s on %s" % (frame.name, signal, data.hex()))
    assert same > len(expected), "%s: canmatrix found too few signals in the exported DBC" % name
    assert not differ, "canmatrix decodes the exported DBC otherwise: " + ", ".join(differ[:20])

    counts = []
    for toml in ("first.toml", "again.toml"):
        rows = csv.DictReader(io.StringIO(velkctl(exe, ["export", "frames.txt", "--signals", toml, "--out", "-"], work)))
        compared, wrong, seen = 0, [], set()
        for row in rows:
            frame, data, values, unchosen = expected[round(float(row["seconds"]) * 1000)]
            signal = row["signal"].split(".", 1)[-1]
            if signal in unchosen:
                wrong.append("%s.%s on %s: velkctl decodes it, the selector does not choose it" % (frame.name, signal, data.hex()))
                continue
            if signal not in values:
                continue   # left out by the import (listed there)
            physical, description, tolerance = values[signal]
            compared += 1
            seen.add((frame.name, signal))
            if not matches(row["physical"], physical, description, tolerance):
                wrong.append("%s.%s on %s: velkctl %s, canmatrix %r (%r)" % (frame.name, signal, data.hex(), row["physical"],
                                                                             physical, description))
        print("%s via %s: %d values of %d payloads compared, %d differ (%d frames canmatrix cannot decode)"
              % (name, toml, compared, len(expected), len(wrong), undecodable))
        assert compared >= len(expected), "%s: too few values compared" % name
        # Every field imported is compared, but one of a frame canmatrix cannot decode or of a name twice in its frame.
        decodable = {frame.name for frame, _, _, _ in expected}
        unseen = sorted("%s.%s" % field for field in fields[toml] - seen
                        if field[0] in decodable and names[field[0]].count(field[1]) == 1)
        assert not unseen, "%s via %s: never compared: %s" % (name, toml, ", ".join(unseen[:20]))
        assert not wrong, "\n".join(wrong[:20])
        counts.append(compared)
    return counts[0], len(expected)


def main():
    exe = os.path.abspath(sys.argv[1])
    package = os.path.dirname(canmatrix.__file__)
    rng = random.Random(41)
    databases = [os.path.join(package, "j1939.dbc"), os.path.join(package, "tests", "test_frame_decoding.dbc")]
    databases += sorted(os.path.join(OPENDBC, name) for name in os.listdir(OPENDBC) if name.endswith(".dbc"))
    assert len(databases) > 2, "no DBC file in " + OPENDBC
    values = frames = 0
    for dbc in databases:
        with tempfile.TemporaryDirectory() as work:
            compared, decoded = check(exe, dbc, work, rng)
        values, frames = values + compared, frames + decoded
    print("%d DBC files: %d values of %d payloads compared with each signal file" % (len(databases), values, frames))


if __name__ == "__main__":
    main()

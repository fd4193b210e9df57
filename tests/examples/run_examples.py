#!/usr/bin/env python3
"""Every example a new user is shown, run against the example signal file:
the commands in `velkctl help ...`, in the zip's README.txt
(package/README.txt.in), in docs/signals.md and docs/python.md, and the
Python in docs/python.md and README.txt. Each runs in a folder that holds
signals-example.toml, rig-example.dbc and rig-matrix.csv (as the zip does) and the recordings the examples name,
on a bus of its own, through wine.

A command passes when it ends with 0 (or 4, a --timeout it was given), or is
still running after a while (monitor, top, record); one the document shows
failing (its output starts "velkctl: " or "FILE:LINE:COLUMN: ") must fail and
print those lines. So an example that names a signal the file lacks, or a
command or option that is gone, fails here.

Usage: run_examples.py VELKCTL_EXE SOURCE_DIR"""

import concurrent.futures
import os
import re
import shlex
import signal
import subprocess
import sys
import tempfile
import time

RUNNING_IS_FINE = 12.0   # seconds: an example still running then is a long-running one
PLACEHOLDERS = {"FILE", "SIGNAL", "SIGNALS", "VALUE", "MESSAGE", "TEXT", "CODE", "HEX", "NAME", "PREDICATE", "D", "N"}

# The recordings the examples name: every code they plot, export or replay.
RECORDING = """# velk record 1
# start 2026-12-08T17:12:03.123+08:00
0.000000 20001001 V 593
0.010000 20001002 V 2
0.020000 30000401 A 12ff0f00f100
0.030000 30000403 A 0102
0.040000 30000201 S 5245414459
0.100000 20001001 V 600
0.120000 30000401 A 12ff0f00f200
"""
# docs/signals.md shows the two mistakes of this file at these places.
BAD_SIGNALS = """[[message]]
code = "20001001"
name = "a"
scale = 0
[[message]]
code = "2000100G"
name = "b"
"""


class Example:
    def __init__(self, where, command, shown=None):
        self.where = where          # "docs/signals.md:195"
        self.command = command      # as a shell runs it
        self.shown = shown or []    # the error lines the document shows under it


def command_part(line):
    """A table row's command: up to two blanks (the explanation follows)."""
    return re.split(r"\s{2,}", line.strip())[0]


def is_example(command, commands):
    """velkctl and a command it has (or --help), nothing left to fill in."""
    words = command.split()
    if len(words) < 2 or words[0] != "velkctl" or "..." in command or "[" in command:
        return False
    if any(word.strip("<>") in PLACEHOLDERS for word in words):
        return False
    rest = words[1:]
    while len(rest) >= 2 and rest[0] == "--bus":
        rest = rest[2:]
    return bool(rest) and (rest[0] in commands or rest[0] in ("--help", "--version", "help"))


def help_examples(velkctl, commands):
    found = []
    for topic in [[]] + [["help", name] for name in sorted(commands)]:
        text = velkctl(["--help"] if not topic else topic)
        for line in text.splitlines():
            if line.startswith("  velkctl "):
                command = command_part(line)
                if is_example(command, commands):
                    found.append(Example("velkctl %s" % " ".join(topic or ["--help"]), command))
    return found


def readme_examples(path, shown_as, commands):
    found = []
    for number, line in enumerate(open(path, encoding="utf-8-sig"), 1):
        if line.lstrip().startswith("velkctl "):
            command = command_part(line)
            if is_example(command, commands):
                found.append(Example("%s:%d" % (shown_as, number), command))
    return found


def markdown_examples(path, shown_as, commands):
    """Commands in a document's indented code blocks, with the error lines
    shown under a C:\\> prompt."""
    found = []
    lines = open(path, encoding="utf-8").read().splitlines()
    fenced = False
    for number, line in enumerate(lines, 1):
        if line.startswith("```"):
            fenced = not fenced
        if fenced or not line.startswith("    "):
            continue
        text = line[4:]
        prompt = text.startswith("C:\\> ")
        if prompt:
            text = text[5:]
        text = re.sub(r"\s+&$", "", text)
        if not is_example(text, commands):
            continue
        shown = []
        if prompt:
            for after in lines[number:]:
                after = after[4:] if after.startswith("    ") else None
                if after is None or after.startswith("C:\\> "):
                    break
                if after.startswith("velkctl: ") or re.match(r"^[\w.-]+\.toml:\d+:\d+: ", after):
                    shown.append(after)
        found.append(Example("%s:%d" % (shown_as, number), text, shown))
    return found


def python_blocks(path):
    """The indented code blocks of a document that use the package."""
    blocks, current = [], None
    for line in open(path, encoding="utf-8").read().splitlines() + [""]:
        if line.startswith("    ") or (current is not None and not line.strip()):
            if current is None:
                current = []
            current.append(line[4:])
            continue
        if current and any(l.startswith("import velk") for l in current):
            blocks.append("\n".join(current).strip() + "\n")
        current = None
    return blocks


def readme_tests(path):
    """README.txt's test_rig.py, from its English part."""
    text = open(path, encoding="utf-8-sig").read()
    lines = text[text.index("\nEnglish\n"):].splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("    def test_"))
    block = []
    for line in lines[start:]:
        if line.strip() and not line.startswith("    "):
            break
        block.append(line[4:])
    command = next(command_part(line) for line in lines if line.strip().startswith("py -m pytest "))
    return "\n".join(block).strip() + "\n", command


class Runner:
    def __init__(self, velkctl_exe, work, wine, wine_environ):
        self.velkctl_exe = velkctl_exe
        self.work = work
        self.wine = wine                    # the loader velk picks, as the package runs velkctl
        self.wine_environ = wine_environ

    def env(self, bus):
        env = dict(self.wine_environ(self.wine, os.environ), VELK_BUS_NAME=bus, VELK_LANG="en")
        env.pop("VELK_SIGNALS", None)
        return env

    def started(self, command, env, log):
        """A process whose output goes to a file: a wineserver it starts keeps
        no pipe of ours open."""
        return subprocess.Popen(command, cwd=self.work, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                env=env, start_new_session=True)

    def finished(self, command, env, timeout=300):
        """(exit status, output) of a command run to its end."""
        with tempfile.TemporaryFile() as log:
            process = self.started(command, env, log)
            status = process.wait(timeout=timeout)
            log.seek(0)
            return status, log.read().decode("utf-8", "replace").replace("\r", "")

    def velkctl(self, arguments):
        return self.finished([self.wine, self.velkctl_exe] + arguments, self.env("examples-help-%d" % os.getpid()))[1]

    def run(self, example, number):
        """(failure or None, output)"""
        script = 'velkctl() { "$CORVANE_WINE" %s "$@"; }\n%s\n' % (shlex.quote(self.velkctl_exe), example.command)
        env = self.env("examples-%d-%d" % (os.getpid(), number))
        env["CORVANE_WINE"] = self.wine
        with tempfile.TemporaryFile() as log:
            process = self.started(["bash", "-c", script], env, log)
            try:
                status = process.wait(timeout=RUNNING_IS_FINE)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait(timeout=30)
                status = None
            log.seek(0)
            output = log.read()
        output = output.decode("utf-8", "replace").replace("\r", "")
        if example.shown:
            if status in (0, None):
                return "the document shows it failing, but it %s" % ("ran on" if status is None else "ended with 0"), output
            missing = [line for line in example.shown if line not in output.splitlines()]
            return ("it did not print %r" % missing[0] if missing else None), output
        if status not in (0, 4, None):
            return "exit status %d" % status, output
        return None, output


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    velkctl_exe, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="velk-examples-")
    with open(os.path.join(source, "docs", "signals-example.toml"), "rb") as example:
        data = example.read()
    with open(os.path.join(work, "signals-example.toml"), "wb") as copy:
        copy.write(data)
    for name in ("rig-example.dbc", "rig-matrix.csv"):
        with open(os.path.join(source, "docs", name), "rb") as example, open(os.path.join(work, name), "wb") as copy:
            copy.write(example.read())
    for name in ("a.txt", "session.txt", "endurance.txt"):
        with open(os.path.join(work, name), "w") as recording:
            recording.write(RECORDING)
    with open(os.path.join(work, "bad.toml"), "w") as bad:
        bad.write(BAD_SIGNALS)
    sys.path.insert(0, os.path.join(source, "python"))
    from velk import _wine
    runner = Runner(velkctl_exe, work, _wine.wine_loader(), _wine.wine_environ)

    listing = runner.velkctl(["--help"])
    commands = set(re.findall(r"^  ([a-z][a-z-]+) ", listing.split("Subcommands:")[1].split("\n\n")[0], re.M))
    if len(commands) < 10:
        sys.exit("run_examples: velkctl --help lists no commands:\n" + listing)
    readme = os.path.join(source, "package", "README.txt.in")
    examples = help_examples(runner.velkctl, commands) + readme_examples(readme, "package/README.txt.in", commands)
    for document in ("signals.md", "python.md"):
        examples += markdown_examples(os.path.join(source, "docs", document), "docs/" + document, commands)
    unique, seen = [], set()
    for example in examples:
        if example.command not in seen:
            seen.add(example.command)
            unique.append(example)

    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
        results = list(pool.map(lambda pair: runner.run(pair[1], pair[0]), enumerate(unique)))
    for example, (failure, output) in zip(unique, results):
        print("%s %s: %s" % ("FAIL" if failure else "ok  ", example.where, example.command))
        if failure:
            failures.append("%s: %s: %s\n%s" % (example.where, example.command, failure, output))

    # The Python the documents show, through the package in python/.
    env = runner.env("examples-py-%d" % os.getpid())
    env.update(VELKCTL=velkctl_exe, PYTHONPATH=os.path.join(source, "python"), PYTHONDONTWRITEBYTECODE="1")
    for number, block in enumerate(python_blocks(os.path.join(source, "docs", "python.md"))):
        block = re.sub(r'bus="RIG\d"', 'bus=None', block)   # the bus of this run, VELK_BUS_NAME
        status, output = runner.finished([sys.executable, "-c", block], env)
        print("%s docs/python.md, block %d" % ("ok  " if status == 0 else "FAIL", number + 1))
        if status != 0:
            failures.append("docs/python.md block %d:\n%s\n%s" % (number + 1, block, output))
    tests, command = readme_tests(readme)
    with open(os.path.join(work, "test_rig.py"), "w", encoding="utf-8") as rig:
        rig.write(tests)
    arguments = shlex.split(command)[3:]   # after "py -m pytest"
    status, output = runner.finished([sys.executable, "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider"]
                                     + arguments, env)
    good = status == 1 and "1 failed, 1 passed" in output and "motor.speed=100" in output
    print("%s README.txt's test_rig.py: one passes, one fails with the bus's messages" % ("ok  " if good else "FAIL"))
    if not good:
        failures.append("README.txt's test_rig.py:\n%s\n%s" % (tests, output))

    for failure in failures:
        print("\n" + failure)
    print("%d examples, %d failed" % (len(unique) + 2, len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

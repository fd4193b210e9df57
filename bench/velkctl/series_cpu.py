#!/usr/bin/env python3
"""The CPU each recorder of `velkctl_bench series` used, as Linux counts it.

Wine's GetProcessTimes says nothing true about another process, but every
Windows process under Wine is a Linux process. Wine starts a child process
by forking twice, so the process is an orphan from its start; this script
makes itself the subreaper of the command it runs (prctl
PR_SET_CHILD_SUBREAPER), every such orphan becomes its child, and os.wait4
gives each recorder's exact user and system time (all its threads) as it
exits. It notes each child's command line while it runs (Wine shows the
Windows command line in /proc/PID/cmdline) to know the recorders: every
`velkctl.exe record FILE ...`, paired in the order they started with the
next one of the same bounds (--count, --duration) of the other kind (FILE
ending in .gz or not): the two of a pair ran one after the other or at once,
and took the same messages.

The wineserver does work for every client (each message posted and each
one taken goes through it); it cannot be split between the recorders, so
it is counted for neither, and said beside them: its CPU from the pair's
start to the end of the later one.

Prints the command's own output, then a line per pair; asserts nothing.

Usage, in build/mingw-x86_64/bin after . scripts/wine-env.sh:
    python3 ../../../bench/velkctl/series_cpu.py xvfb-run -a "$CORVANE_WINE" velkctl_bench.exe series 100000
"""
import ctypes
import os
import subprocess
import sys
import time

PR_SET_CHILD_SUBREAPER = 36
POLL = 0.05          # seconds between looks at /proc
LIMIT = 3600.0       # seconds the command may take


def ticks_seconds(fields):
    """utime + stime of a /proc/PID/stat's fields (after the name), in seconds."""
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def stat_fields(pid):
    try:
        with open("/proc/%d/stat" % pid) as stat:
            text = stat.read()
    except OSError:
        return None
    return text[text.rfind(")") + 2:].split()


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as line:
            return line.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
    except OSError:
        return ""


def pids():
    return [int(name) for name in os.listdir("/proc") if name.isdigit()]


def own_wineserver():
    """The wineserver of this WINEPREFIX, or None."""
    wanted = ("WINEPREFIX=" + os.environ.get("WINEPREFIX", "")).encode()
    for pid in pids():
        try:
            with open("/proc/%d/comm" % pid) as comm:
                if not comm.read().startswith("wineserver"):
                    continue
            with open("/proc/%d/environ" % pid, "rb") as environ:
                if wanted in environ.read().split(b"\0"):
                    return pid
        except OSError:
            continue
    return None


def wineserver_seconds(pid):
    fields = stat_fields(pid) if pid else None
    return ticks_seconds(fields) if fields else None


class Recorder:
    def __init__(self, line):
        words = line.split()
        at = words.index("record")
        self.line = line
        self.compressed = ".gz" in words[at + 1]
        # What the two recorders of one pair share: their bounds.
        self.key = " ".join(w for w in words[at + 2:] if w not in ("--split", "256MiB"))
        self.cpu = None
        self.server_before = self.server_after = None
        self.seen = time.monotonic()
        self.ended = None


def is_recorder(line):
    words = line.split()
    return any(w.lower().endswith("velkctl.exe") for w in words) and "record" in words[1:-1]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit("series_cpu.py: cannot become a subreaper: " + os.strerror(ctypes.get_errno()))
    me = os.getpid()
    command = subprocess.Popen(sys.argv[1:])
    recorders = {}
    server = None
    started = time.monotonic()
    running = True
    while running and time.monotonic() - started < LIMIT:
        # Every child that has ended: its rusage, exact.
        while True:
            try:
                pid, status, usage = os.wait4(-1, os.WNOHANG)
            except ChildProcessError:
                running = False
                break
            if pid == 0:
                break
            if pid == command.pid:
                command.returncode = os.waitstatus_to_exitcode(status)
                running = False
            if pid in recorders:
                recorders[pid].cpu = (usage.ru_utime, usage.ru_stime)
                recorders[pid].ended = time.monotonic()
                recorders[pid].server_after = wineserver_seconds(server)
        # The children that came since the last look.
        for pid in pids():
            if pid in recorders:
                continue
            fields = stat_fields(pid)
            if fields is None or int(fields[1]) != me:
                continue
            line = command_line(pid)
            if is_recorder(line):
                server = server or own_wineserver()
                recorders[pid] = Recorder(line)
                recorders[pid].server_before = wineserver_seconds(server)
        time.sleep(POLL)
    if running:
        command.kill()
        print("series_cpu.py: the command took over %.0f s; stopped" % LIMIT)

    waiting = []
    pairs = []
    for recorder in recorders.values():   # in the order they were seen
        partner = next((r for r in waiting if r.key == recorder.key and r.compressed != recorder.compressed), None)
        if partner is None:
            waiting.append(recorder)
        else:
            waiting.remove(partner)
            pairs.append((partner, recorder) if recorder.compressed else (recorder, partner))
    for recorder in waiting:
        print("series_cpu.py: record %s: no recorder of the other kind to weigh it against" % recorder.key)
    for plain, packed in pairs:
        if plain.cpu is None or packed.cpu is None:
            print("series_cpu.py: record %s: a recorder did not end" % plain.key)
            continue
        together = max(plain.seen, packed.seen) < min(plain.ended, packed.ended)
        plain_cpu, packed_cpu = sum(plain.cpu), sum(packed.cpu)
        befores = [r.server_before for r in (plain, packed) if r.server_before is not None]
        afters = [r.server_after for r in (plain, packed) if r.server_after is not None]
        server_text = ("wineserver meanwhile %.2f s (for the recorders and the sender, counted for neither)"
                       % (max(afters) - min(befores)) if befores and afters else "wineserver not found")
        print("series_cpu.py: record %s, %s: CPU (Linux, at exit) plain %.2f s (user %.2f, system %.2f), "
              ".gz --split 256MiB %.2f s (user %.2f, system %.2f): %.2fx plain; %s"
              % (plain.key, "at once" if together else "one after the other", plain_cpu, plain.cpu[0], plain.cpu[1],
                 packed_cpu, packed.cpu[0], packed.cpu[1], packed_cpu / plain_cpu if plain_cpu > 0 else 0.0,
                 server_text))
    return command.returncode or 0


if __name__ == "__main__":
    sys.exit(main())

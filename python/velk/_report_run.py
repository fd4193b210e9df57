"""pytest --velk-report FILE: a run's verdicts, what each test did on the bus
and, for a failed test, its plot and the bus's last messages, written as one
HTML page when the run ends (velk/_report.py). Registered by the plugin as
the "velk-report" plugin when the option is given."""

import hashlib
import os
import time

from velk import _plot, _report
from velk.bus import find_velkctl
from velk._text import say
from velk.errors import VelkError

NAME = "velk-report"
# The bus's last messages a failed test's plot is drawn from (its report lists the last 100).
PLOTTED = 1000
# The plot runs on a little past the test's end, so the moment it failed is not on the frame.
_MARGIN = 1.05


def _sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as data:
        for block in iter(lambda: data.read(1 << 16), b""):
            digest.update(block)
    return digest.hexdigest()


def _phase_text(report):
    """A failed phase's text, or a skip's reason."""
    if report.skipped and isinstance(report.longrepr, tuple):
        return str(report.longrepr[2])
    return report.longreprtext if report.failed or report.skipped else ""


class ReportRun:
    def __init__(self, config, path):
        self.config = config
        self.path = os.path.abspath(path)
        self.records = {}   # by node id, in the run's order
        self.started = time.time()

    def _velkctl(self):
        return find_velkctl(self.config.getoption("--velkctl"))

    def link(self, nodeid=None):
        """The report as the JUnit file names it: its path from the JUnit file's folder (both mailed together
        still find each other), with the test's anchor."""
        xml = self.config.getoption("xmlpath", None)
        where = os.path.relpath(self.path, os.path.dirname(os.path.abspath(xml))) if xml else self.path
        if nodeid is not None and nodeid in self.records:
            where += "#t%d" % (list(self.records).index(nodeid) + 1)
        return where

    def pytest_runtest_logreport(self, report):
        record = self.records.setdefault(report.nodeid, _report.TestRecord(report.nodeid))
        record.add_phase(report.when, report.outcome, report.duration, _phase_text(report))

    def add_bus(self, item, report, bus, seen):
        """At the end of a test's call on velk_bus: what it did, and for a failure the bus around it (seen:
        the bus's last messages, or None when they are not known)."""
        record = self.records.setdefault(item.nodeid, _report.TestRecord(item.nodeid))
        journal = bus.journal
        record.events, record.left_out = list(journal.events), journal.left_out
        if not report.failed:
            return
        end = journal.now()
        record.failed_expect = journal.failed_expect()
        if seen is not None:
            record.messages = [(bus.test_time(message.time), str(message)) for message in seen]
        try:
            plotted = bus.recent_messages(PLOTTED)
        except VelkError as error:
            plotted = []
            record.messages_note = str(error)
        shade = mark = None
        if record.failed_expect is not None:
            shade = (record.failed_expect.at, record.failed_expect.ended)
            mark = record.failed_expect.ended
        try:
            record.plot, record.plot_note = _plot.plot(
                self._velkctl(), self.config.getoption("--velk-signals"), plotted + list(bus.recent),
                journal.touched, bus.test_time, max(end, mark or 0) * _MARGIN, shade, end if mark is None else mark,
                item.name)
        except (VelkError, OSError) as error:   # no velkctl; no room for its files
            record.plot_note = str(error)
        if journal.beyond:
            beyond = (len(journal.beyond), ", ".join(sorted(journal.beyond)))
            said = "另有 %d 个未画（一张图最多画 8 个）：%s\n%d more not drawn (a plot draws 8): %s" % (beyond + beyond)
            record.plot_note = (record.plot_note + "\n" if record.plot_note else "") + said
        item.user_properties.append(("velk_report", self.link(item.nodeid)))   # --junitxml writes them at teardown

    def setup(self):
        """The run's setup: (Chinese, English, value) rows."""
        signals = self.config.getoption("--velk-signals")
        if signals:
            try:
                signals = "%s (sha256 %s)" % (signals, _sha256(signals))
            except OSError as error:
                signals = "%s (%s)" % (signals, error)
        try:
            velkctl = self._velkctl()
            velkctl = "%s: %s" % (velkctl, _plot.version(velkctl))
        except VelkError as error:
            velkctl = str(error)
        bus = self.config.getoption("--velk-bus") or os.environ.get("VELK_BUS_NAME") or "(default)"
        return [("信号文件", "signal file", signals or "(none)"),
                ("velkctl", "velkctl", velkctl),
                ("总线", "bus", bus),
                ("时区", "time zone", time.strftime("%Z (UTC%z)", time.localtime(self.started))),
                ("开始", "started", time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(self.started))),
                ("命令", "command", " ".join(self.config.invocation_params.args))]

    def pytest_sessionfinish(self, session):
        try:
            _report.write(self.path, list(self.records.values()), self.setup())
        except OSError as error:   # the run's verdicts stand; the terminal says why there is no page
            reporter = self.config.pluginmanager.get_plugin("terminalreporter")
            said = say("cannot write the HTML report %s: %s", self.path, error.strerror or error)
            if reporter is not None:
                reporter.ensure_newline()
                reporter.write_line("velk: " + said, red=True)

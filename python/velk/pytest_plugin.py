"""pytest plugin: the velk_bus and velk_node fixtures, and the bus's last
messages in a failing test's report (a "velk messages" section, and the
velk_messages property that pytest --junitxml writes); with --velk-report
FILE an HTML report of the run (velk/_report_run.py), which the JUnit file
names in its velk_report properties."""

import os

import pytest

import velk
from velk.errors import VelkError
from velk._report_run import NAME as _REPORT, ReportRun
from velk._text import say

# The bus's last messages a failure's report shows, whatever their codes.
_REPORTED = 100


def pytest_addoption(parser):
    group = parser.getgroup("velk", "VELK bus tests")
    group.addoption("--velk-bus", default=None, help="the bus to test on (VELK_BUS_NAME of the session)")
    group.addoption("--velk-signals", default=None, help="the signal file, for signal names")
    group.addoption("--velkctl", default=None,
                    help="velkctl.exe (default: $VELKCTL, else velkctl on PATH, else the one the wheel carries)")
    group.addoption("--velk-report", default=None, metavar="FILE",
                    help="write an HTML report of the run: verdicts, what each test did on the bus, and for a failure "
                         "its plot and the bus's last messages")


def pytest_configure(config):
    path = config.getoption("--velk-report")
    if path and not os.path.isdir(os.path.dirname(os.path.abspath(path))):
        raise pytest.UsageError(say("--velk-report %s: there is no folder %s", path,
                                    os.path.dirname(os.path.abspath(path))))
    if path and not hasattr(config, "workerinput"):   # written once, by the process that runs the session
        config.pluginmanager.register(ReportRun(config, path), _REPORT)


@pytest.fixture(scope="session", autouse=True)
def _velk_report_link(request):
    """The JUnit file's testsuite names the HTML report."""
    run = request.config.pluginmanager.get_plugin(_REPORT)
    if run is not None:
        request.getfixturevalue("record_testsuite_property")("velk_report", run.link())


@pytest.fixture(scope="session")
def _velk_session_bus(request):
    config = request.config
    bus = velk.Bus(bus=config.getoption("--velk-bus"), signals=config.getoption("--velk-signals"),
                   velkctl=config.getoption("--velkctl"), recent=_REPORTED)
    try:
        bus.open()
    except VelkError as error:
        # Raised in a fixture, so pytest reports an error of the test system, not a failed test.
        pytest.fail("velk: %s" % error, pytrace=False)
    yield bus
    bus.close()


@pytest.fixture
def velk_bus(request, _velk_session_bus):
    """The session's velk.Bus; its messages seen during the test go into a failure's report."""
    _velk_session_bus.recent.clear()
    _velk_session_bus.journal.begin()
    request.node._velk_bus = _velk_session_bus
    return _velk_session_bus


@pytest.fixture
def velk_node(request):
    """A started velk.Node on the test's bus and signal file, its own session; handlers added in the test
    run at once. A handler that raised fails the test at its end, with the traceback, as does a session
    that ended under the node or messages it dropped."""
    config = request.config
    node = velk.Node(bus=config.getoption("--velk-bus"), signals=config.getoption("--velk-signals"),
                     velkctl=config.getoption("--velkctl"))
    try:
        node.start()
    except VelkError as error:
        pytest.fail("velk: %s" % error, pytrace=False)
    yield node
    node.stop()
    if node.errors:
        pytest.fail("velk node: %d handler call%s raised:\n%s" % (len(node.errors), "" if len(node.errors) == 1 else "s",
                                                             "\n".join(text for _, text in node.errors)), pytrace=False)
    if node.failure is not None or node.lost:
        why = node.failure or say("%d messages dropped: the handlers were too slow", node.lost)
        pytest.fail("velk node: %s" % why, pytrace=False)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    bus = getattr(item, "_velk_bus", None)
    if bus is None or report.when != "call":
        return
    seen = _report_messages(item, report, bus) if report.failed else None
    run = item.config.pluginmanager.get_plugin(_REPORT)
    if run is not None:
        run.add_bus(item, report, bus, seen)


def _report_messages(item, report, bus):
    """The bus's last messages into a failed test's report (what the test itself saw when the session has
    gone); returns them."""
    try:
        seen = bus.recent_messages(_REPORTED)
    except VelkError as error:   # the session has gone: what the test itself saw
        seen = list(bus.recent)
        report.sections.append(("velk", "the bus's last messages are not known: %s" % error))
    text = "\n".join(str(message) for message in seen) if seen else "(no messages on the bus)"
    report.sections.append(("velk messages (the bus's last %d)" % len(seen), text))
    item.user_properties.append(("velk_messages", text))
    report.user_properties.append(("velk_messages", text))
    return seen

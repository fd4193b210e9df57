"""pytest plugin: the velk_bus and velk_node fixtures, and the bus's last
messages in a failing test's report (a "velk messages" section, and the
velk_messages property that pytest --junitxml writes)."""

import pytest

import velk
from velk.errors import VelkError
from velk._text import say

# The bus's last messages a failure's report shows, whatever their codes.
_REPORTED = 100


def pytest_addoption(parser):
    group = parser.getgroup("velk", "VELK bus tests")
    group.addoption("--velk-bus", default=None, help="the bus to test on (VELK_BUS_NAME of the session)")
    group.addoption("--velk-signals", default=None, help="the signal file, for signal names")
    group.addoption("--velkctl", default=None,
                    help="velkctl.exe (default: $VELKCTL, else velkctl on PATH, else the one the wheel carries)")


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
    if bus is None or report.when != "call" or not report.failed:
        return
    try:
        seen = bus.recent_messages(_REPORTED)
    except VelkError as error:   # the session has gone: what the test itself saw
        seen = list(bus.recent)
        report.sections.append(("velk", "the bus's last messages are not known: %s" % error))
    text = "\n".join(str(message) for message in seen) if seen else "(no messages on the bus)"
    report.sections.append(("velk messages (the bus's last %d)" % len(seen), text))
    item.user_properties.append(("velk_messages", text))
    report.user_properties.append(("velk_messages", text))

"""The client's side of the session protocol, against tests/fake_session.py."""

import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import pytest

import velk

HERE = os.path.dirname(os.path.abspath(__file__))
FAKE = os.path.join(HERE, "fake_session.py")


def test_requests_answers_and_verdicts():
    with velk.Bus(bus="RIG1", velkctl=FAKE) as bus:
        bus.post(0x20000801, 5)
        message = bus.expect(0x20000801, eq=5, within=0.5).wait()
        assert (message.code, message.kind, message.value) == (0x20000801, "value", 5)
        waiter = bus.expect(0x20000801, eq=6, within=0.5)
        with pytest.raises(velk.ExpectTimeout):
            waiter.wait()
        with pytest.raises(velk.ExpectTimeout) as timeout:   # the same verdict again
            waiter.wait()
        assert "no message with 20000801 eq 6 within 0.5s: 1 of those codes came, the last" in str(timeout.value)
        assert timeout.value.last.value == 5
        with pytest.raises(velk.ExpectTimeout, match="none of those codes came at all"):
            bus.expect(0x20000802, eq=1, within=0.5).wait()
        bus.variables[63] = 7
        assert bus.variables[63] == 7
        with pytest.raises(IndexError):
            bus.variables[64] = 1
        assert bus.rate(0x20000801, over=2.0) == 49.5
        assert bus.assert_rate(0x20000801, hz=50, tolerance=0.01) == 49.5
        with pytest.raises(AssertionError, match="49.500 Hz"):
            bus.assert_rate(0x20000801, hz=50, tolerance=0.009)
        events = bus.subscribe(0x20000801)   # its event came before its answer
        assert events.get(timeout=1.0).value == 7
        assert events.get(timeout=0.05) is None
        with pytest.raises(velk.VelkError, match="unknown op 'clients'"):
            bus.clients()
        assert [m.value for m in bus.recent][:2] == [5, 5]


def test_arguments_are_checked_before_sending():
    with velk.Bus(velkctl=FAKE) as bus:
        for bad in (dict(), dict(eq=1, gt=2), dict(eq=True), dict(eq="two words"), dict(eq=1, within=0)):
            with pytest.raises(ValueError):
                bus.expect(0x20000801, **bad)
        with pytest.raises(ValueError):
            bus.expect("pump.state", eq=1, mask=0xFF)
        with pytest.raises(ValueError):
            bus.post(0x1FFFFFFFF, 1)
        with pytest.raises(ValueError):
            bus.send_str(256, "x")


def test_system_errors_are_velk_errors():
    with pytest.raises(velk.VelkError, match="velkctl not found"):
        velk.Bus(velkctl=os.path.join(HERE, "missing.exe")).open()
    # A session that ends at once: its stderr says why.
    with pytest.raises(velk.VelkError, match="no bus 'RIG9' is running"):
        bus = velk.Bus(velkctl=FAKE)
        os.environ["VELK_FAKE_NO_BUS"] = "1"
        try:
            bus.open()
        finally:
            del os.environ["VELK_FAKE_NO_BUS"]


def test_an_unexpected_line_is_one_protocol_error_and_the_reader_goes_on():
    os.environ["VELK_FAKE_ODD_LINES"] = "1"
    try:
        with velk.Bus(velkctl=FAKE) as bus:
            bus.post(0x20000801, 5)   # its answer comes after four lines of other shapes
            with pytest.raises(velk.VelkError, match=r"protocol error: unexpected line from velkctl .*'\[1\]\\n'.* \(and 3 more\)"):
                bus.variables[3] = 1
            bus.variables[3] = 2      # reported once; the reader still reads
            assert bus.variables[3] == 2
            assert bus.subscribe(0x20000801).get(timeout=1.0).value == 7
    finally:
        del os.environ["VELK_FAKE_ODD_LINES"]


def test_junit_report_of_a_failing_test_holds_its_messages(tmp_path):
    (tmp_path / "test_fails.py").write_text(
        "def test_fails(velk_bus):\n"
        "    velk_bus.post(0x20000801, 5)\n"
        "    velk_bus.expect(0x20000801, eq=9, within=0.2).wait()\n"
        "def test_no_system(velk_bus):\n"
        "    pass\n")
    report = tmp_path / "report.xml"
    env = dict(os.environ, PYTHONPATH=os.path.dirname(HERE))
    run = subprocess.run([sys.executable, "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velkctl", FAKE, "--junitxml", str(report), "test_fails.py"],
                         cwd=str(tmp_path), env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    assert run.returncode == 1, run.stdout.decode()
    cases = {case.get("name"): case for case in ElementTree.parse(str(report)).iter("testcase")}
    failing = cases["test_fails"]
    assert failing.find("failure") is not None
    properties = {p.get("name"): p.get("value") for p in failing.iter("property")}
    assert "20000801 value 5" in properties["velk_messages"]
    assert cases["test_no_system"].find("failure") is None

    # No velkctl: an error of the test system, not a failure.
    run = subprocess.run([sys.executable, "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velkctl", str(tmp_path / "none.exe"), "--junitxml", str(report), "test_fails.py"],
                         cwd=str(tmp_path), env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    cases = list(ElementTree.parse(str(report)).iter("testcase"))
    assert [case.find("error") is not None for case in cases] == [True, True], run.stdout.decode()
    assert "velkctl not found" in run.stdout.decode()

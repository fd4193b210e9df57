"""The client's side of the session protocol, against tests/fake_session.py."""

import ast
import configparser
import glob
import os
import re
import subprocess
import sys
import threading
import time
import xml.etree.ElementTree as ElementTree

import pytest

import velk
import velk.node

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
        # A message's name is measured by its code; a signal's name goes as it is.
        assert bus.assert_rate("pump.status", hz=50) == bus.rate("pump.status.pressure") == 49.5
        with pytest.raises(AssertionError, match="49.500 Hz"):
            bus.assert_rate(0x20000801, hz=50, tolerance=0.009)
        events = bus.subscribe(0x20000801)   # its event came before its answer
        assert events.get(timeout=1.0).value == 7
        assert events.get(timeout=0.05) is None
        with pytest.raises(velk.VelkError, match="unknown op 'clients'"):
            bus.clients()
        assert [m.value for m in bus.recent][:2] == [5, 5]
        # No predicate: any message of the code.
        assert bus.expect(0x20000801, within=0.5).wait().value == 5
        assert [(m.code, m.value) for m in bus.recent_messages(10)] == [(0x20000801, 5)]
        # A misspelt name fails at the call that names it, not at wait().
        with pytest.raises(velk.VelkError) as refused:
            bus.expect("motor.sped", eq=1)
        assert str(refused.value).startswith("velkctl session: \"match\" 'motor.sped eq 1': at column 1: no signal")


def test_arguments_are_checked_before_sending():
    with velk.Bus(velkctl=FAKE) as bus:
        for bad in (dict(eq=1, gt=2), dict(eq=1, contains="a"), dict(eq=True), dict(eq=1, within=0)):
            with pytest.raises(ValueError):
                bus.expect(0x20000801, **bad)
        with pytest.raises(ValueError):
            bus.expect("pump.state", eq=1, mask=0xFF)
        with pytest.raises(ValueError):
            bus.post(0x1FFFFFFFF, 1)
        with pytest.raises(ValueError):
            bus.send_str(256, "x")


def test_every_time_is_seconds_or_a_duration_at_its_edges(monkeypatch):
    from velk._duration import micros
    day100 = 100 * 24 * 3600
    for given, expected in (("1us", 1), ("100ms", 100000), ("2.5s", 2500000), ("3m", 180000000), ("1h", 3600000000),
                            ("5", 5000000), (".5", 500000), (" 20ms ", 20000), (0.25, 250000), (2, 2000000),
                            ("0.000001", 1), (1e-6, 1), ("2400h", day100 * 1000000), (day100, day100 * 1000000)):
        assert micros(given, "within") == expected, given
    assert micros(0, "timeout", zero=True) == micros("0ms", "timeout", zero=True) == 0
    for bad, said in (("5x", "takes seconds or a duration like '100ms'"), ("ms", "takes"), ("5.", "takes"),
                      ("", "takes"), ("1e3", "takes"), ("0.0000005", "takes"), (None, "takes"), (True, "takes"),
                      (float("nan"), "takes"), ("2400.000001h", "is at most 100 days"),
                      (day100 + 1e-6, "is at most 100 days"), (0, "must be more than 0"), ("0s", "must be more than 0"),
                      (4e-7, "must be more than 0"), (-1, "must be more than 0"), ("-1ms", "must be more than 0")):
        with pytest.raises(ValueError, match="^within " + re.escape(said)):
            micros(bad, "within")
    with pytest.raises(ValueError, match="^timeout must not be negative"):
        micros("-1us", "timeout", zero=True)

    # Bus and Node take them wherever a time goes, numbers in seconds as well; a bad one names its argument.
    monkeypatch.setenv("VELK_FAKE_SLOW_START", "2")
    with pytest.raises(velk.VelkError, match=r"did not answer within 0.25s of starting"):
        velk.Bus(velkctl=FAKE, start_timeout="250ms").open()
    monkeypatch.setenv("VELK_FAKE_SLOW_START", "0")
    with velk.Bus(velkctl=FAKE, start_timeout="1m") as bus:
        bus.post(0x20000801, 5)
        with pytest.raises(velk.ExpectTimeout, match="within 0.3s"):
            bus.expect(0x20000801, eq=6, within="300ms").wait()
        assert bus.expect(0x20000801, eq=5, within=0.3).wait().value == 5
        events = bus.subscribe(0x20000801)
        assert events.get(timeout="1s").value == 7 and events.get(timeout=0) is None
        with pytest.raises(ValueError, match="^over must be more than 0"):
            bus.rate(0x20000801, over="0ms")
        with pytest.raises(ValueError, match="^timeout must not be negative"):
            events.get(timeout=-0.5)
    with pytest.raises(ValueError, match="^period takes seconds"):
        velk.Node().every("5x")
    monkeypatch.setenv("VELK_LANG", "zh")
    with pytest.raises(ValueError, match="^start_timeout 应为秒数.*\nstart_timeout takes seconds"):
        velk.Bus(start_timeout="60x")


def test_a_node_needs_only_the_public_side_of_its_bus(monkeypatch):
    class PublicBus:
        """velk.Bus with its private members out of reach."""
        QUEUE_LIMIT = velk.Bus.QUEUE_LIMIT

        def __init__(self, **arguments):
            self.__dict__["bus"] = velk.Bus(**arguments)

        def __getattr__(self, name):
            if name.startswith("_"):
                raise AttributeError("%s is velk.Bus's own" % name)
            return getattr(self.__dict__["bus"], name)

    monkeypatch.setattr(velk.node, "Bus", PublicBus)
    monkeypatch.setenv("VELK_FAKE_DIE", "1")
    node = velk.Node(velkctl=FAKE)
    seen, ticks = [], []
    node.on("pump.status")(seen.append)   # a message's name: subscribed by its code
    node.every("20ms")(lambda: (ticks.append(1), node.send("motor.status", current=1.0)))
    with pytest.raises(velk.VelkError, match=r"^velkctl session ended \(exit status 3\)$"):
        node.run(duration="20s")
    assert [m.value for m in seen] == [7] and ticks and node.errors == []


def test_velkctl_is_found_where_given_else_on_path_and_a_miss_names_every_place(tmp_path, monkeypatch):
    monkeypatch.delenv("VELKCTL", raising=False)
    monkeypatch.setenv("PATH", str(tmp_path))
    with pytest.raises(velk.VelkError) as missing:
        velk.bus.find_velkctl()
    for place in ("velkctl=", "--velkctl", "VELKCTL is not set", "no velkctl on PATH",
                  os.path.join("velk", "bin", "velkctl.exe")):
        assert place in str(missing.value)
    on_path = tmp_path / "velkctl"
    on_path.write_text("#!/bin/sh\n")
    on_path.chmod(0o755)
    assert velk.bus.find_velkctl() == str(on_path)
    monkeypatch.setenv("VELKCTL", FAKE)
    assert velk.bus.find_velkctl() == FAKE
    assert velk.bus.find_velkctl("given.exe") == "given.exe"


def test_the_wine_loader_is_the_one_named_else_the_first_that_runs(tmp_path, monkeypatch):
    from velk import _wine

    def program(name, text, mode=0o755):
        path = tmp_path / name
        path.write_bytes(text)
        path.chmod(mode)
        return str(path)
    # A 32-bit loader on a kernel that runs none: exec refuses it (ENOEXEC), or a
    # wrapper script that execs it fails; the 64-bit one answers.
    refused = program("wine32", b"\x7fELF\x01\x01\x01\x00" + bytes(64))
    wrapper = program("wine", b"#!/bin/sh\necho 'wine: Exec format error' >&2\nexit 126\n")
    works = program("wine64", b"#!/bin/sh\necho wine-8.0\n")
    assert not _wine.runs(refused) and not _wine.runs(wrapper) and _wine.runs(works)
    assert _wine.pick_loader((refused, wrapper, works, str(tmp_path / "none"))) == works
    assert _wine.pick_loader((refused, wrapper)) is None
    candidates = (wrapper, works)
    assert _wine.wine_loader({}, candidates) == works
    # Named: taken as named, the first of VELK_WINE, CORVANE_WINE, WINELOADER.
    assert _wine.wine_loader({"WINELOADER": wrapper, "CORVANE_WINE": refused}, candidates) == refused
    assert _wine.wine_loader({"WINELOADER": wrapper, "VELK_WINE": works, "CORVANE_WINE": refused}, candidates) == works
    with pytest.raises(velk.VelkError, match="VELK_WINE names .*none, which is not a program here"):
        _wine.wine_loader({"VELK_WINE": str(tmp_path / "none")}, candidates)
    with pytest.raises(velk.VelkError, match="none of .* runs \\(VELK_WINE names the loader\\)"):
        _wine.wine_loader({}, (refused, wrapper))
    # A 64-bit loader run directly is Wine's loader for the processes it starts.
    assert _wine.wine_environ(works, {"WINELOADER": "/usr/lib/wine/wine64"})["WINELOADER"] == works
    assert "WINELOADER" not in _wine.wine_environ(wrapper, {})
    # The session of an .exe runs through the loader chosen.
    monkeypatch.setenv("VELK_WINE", works)
    exe = program("velkctl.exe", b"MZ")
    command, environ = velk.bus.session_command(exe, "rig.toml")
    if os.name != "nt":
        assert command == [works, exe, "session", "--signals", "rig.toml"] and environ["WINELOADER"] == works


def test_system_errors_are_velk_errors():
    with pytest.raises(velk.VelkError, match="velkctl not found"):
        velk.Bus(velkctl=os.path.join(HERE, "missing.exe")).open()
    # A session slow to start is waited for as long as asked, then named.
    os.environ["VELK_FAKE_SLOW_START"] = "2"
    try:
        with pytest.raises(velk.VelkError, match=r"did not answer within 0.5s of starting \(velk.Bus\(start_timeout="):
            velk.Bus(velkctl=FAKE, start_timeout=0.5).open()
    finally:
        del os.environ["VELK_FAKE_SLOW_START"]
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
        "def test_misspelt(velk_bus):\n"
        "    velk_bus.expect('motor.sped', eq=1)\n"
        "def test_no_system(velk_bus):\n"
        "    pass\n")
    report = tmp_path / "report.xml"
    env = dict(os.environ, PYTHONPATH=os.path.dirname(HERE))
    run = subprocess.run([sys.executable, "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velkctl", FAKE, "--junitxml", str(report), "test_fails.py"],
                         cwd=str(tmp_path), env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    assert run.returncode == 1, run.stdout.decode()
    cases = {case.get("name"): case for case in ElementTree.parse(str(report)).iter("testcase")}
    # Each traceback ends at the test's own line, not in the package.
    for name, line in (("test_fails", 3), ("test_misspelt", 5)):
        failure = cases[name].find("failure")
        assert failure is not None and "bus.py" not in failure.text, failure.text
        assert "test_fails.py:%d: " % line in failure.text, failure.text
    properties = {p.get("name"): p.get("value") for p in cases["test_fails"].iter("property")}
    assert "20000801 value 5" in properties["velk_messages"]
    assert cases["test_no_system"].find("failure") is None

    # No velkctl: an error of the test system, not a failure.
    run = subprocess.run([sys.executable, "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velkctl", str(tmp_path / "none.exe"), "--junitxml", str(report), "test_fails.py"],
                         cwd=str(tmp_path), env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    cases = list(ElementTree.parse(str(report)).iter("testcase"))
    assert [case.find("error") is not None for case in cases] == [True, True, True], run.stdout.decode()
    assert "velkctl not found" in run.stdout.decode()


def test_a_node_goes_on_after_a_handler_raises_and_reports_its_traceback(tmp_path):
    node = velk.Node(bus="RIG1", velkctl=FAKE)
    seen, ticks = [], []

    @node.on(0x20000801)
    def broken(message):
        raise RuntimeError("broken handler")

    @node.on(0x20000801)
    def fine(message):
        seen.append(message.value)

    @node.every("20ms")
    def tick():
        ticks.append(time.monotonic())

    with node:
        deadline = time.monotonic() + 10
        while (not seen or len(ticks) < 5) and time.monotonic() < deadline:
            time.sleep(0.01)
    assert seen == [7] and len(ticks) >= 5
    assert [name for name, _ in node.errors] == ["test_a_node_goes_on_after_a_handler_raises_and_reports_its_traceback.<locals>.broken"]
    assert 'raise RuntimeError("broken handler")' in node.errors[0][1]
    with pytest.raises(ValueError):
        node.every("5x")

    # Headless: the script's nodes run for --duration; a handler that raised makes exit 1.
    script = tmp_path / "device.py"
    script.write_text("import velk\nnode = velk.Node()\n@node.on(0x20000801)\ndef answer(message):\n"
                      "    raise KeyError(message.value)\n")
    run = subprocess.run([sys.executable, "-B", "-m", "velk.node", str(script), "--velkctl", FAKE, "--duration", "0.5"],
                         env=dict(os.environ, PYTHONPATH=os.path.dirname(HERE)), stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=60)
    said = run.stderr.decode("utf-8", "replace")
    assert run.returncode == 1, said
    assert "answer raised, and the node goes on:" in said and "KeyError: 7" in said


def test_a_node_whose_session_ends_says_why_at_once_and_fails(tmp_path, monkeypatch):
    monkeypatch.setenv("VELK_FAKE_DIE", "1")   # the session is killed after 1 s
    node = velk.Node(velkctl=FAKE)
    ticks = []

    @node.every("20ms")
    def tick():
        ticks.append(1)
        node.send("motor.status", current=1.0)

    started = time.monotonic()
    with pytest.raises(velk.VelkError, match=r"^velkctl session ended \(exit status 3\)$"):
        node.run(duration=20)
    assert time.monotonic() - started < 10 and ticks and node.errors == []

    # Headless with no --duration: it ends at once, says why once, exit 1.
    script = tmp_path / "device.py"
    script.write_text("import velk\nnode = velk.Node()\n@node.on(0x20000801)\ndef answer(message):\n    pass\n"
                      "@node.every('20ms')\ndef tick():\n    node.send('motor.status', current=1.0)\n")
    run = subprocess.run([sys.executable, "-B", "-m", "velk.node", str(script), "--velkctl", FAKE],
                         env=dict(os.environ, PYTHONPATH=os.path.dirname(HERE)), stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=20)
    said = run.stderr.decode("utf-8", "replace")
    assert run.returncode == 1 and said.count("velkctl session ended") == 1 and "Traceback" not in said, said


def test_a_node_behind_drops_the_oldest_waiting_messages_and_counts_them(monkeypatch, capfd):
    monkeypatch.setattr(velk.Bus, "QUEUE_LIMIT", 50)
    monkeypatch.setenv("VELK_FAKE_BURST", "200")   # 200 messages on a post
    node = velk.Node(velkctl=FAKE)
    entered, release, seen = threading.Event(), threading.Event(), []

    @node.on(0x20000801)
    def slow(message):
        entered.set()
        release.wait(10)
        seen.append(message.value)

    with node:
        assert entered.wait(10)   # held by the subscription's first message, 7
        node.bus.post(0x20000801, 1)
        deadline = time.monotonic() + 10
        while node.lost < 150 and time.monotonic() < deadline:
            time.sleep(0.01)
        release.set()
        while len(seen) < 51 and time.monotonic() < deadline:
            time.sleep(0.01)
    # The burst's 1-200 while the handler held 7: the newest 50 waited, the 150 before them went.
    assert node.lost == 150 and seen == [7] + list(range(151, 201)), (node.lost, seen)
    said = capfd.readouterr().err
    assert "the oldest waiting messages are dropped (50 wait at most)" in said
    assert "%d messages dropped: the handlers were too slow" % node.lost in said


def test_the_plugin_named_with_p_when_the_package_is_installed_too(tmp_path):
    # The entry point the wheel declares, beside the package, as an install leaves it.
    setup = configparser.ConfigParser()
    setup.read(os.path.join(os.path.dirname(HERE), "setup.cfg"))
    info = tmp_path / "site" / "velk-1.0.0.dist-info"
    info.mkdir(parents=True)
    (info / "METADATA").write_text("Metadata-Version: 2.1\nName: velk\nVersion: 1.0.0\n")
    (info / "entry_points.txt").write_text("[pytest11]\n%s\n" % setup["options.entry_points"]["pytest11"].strip())
    (tmp_path / "test_one.py").write_text("def test_one(velk_bus):\n    velk_bus.post(1, 2)\n")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join((str(tmp_path / "site"), os.path.dirname(HERE))))
    for loaded in (["-p", "velk.pytest_plugin"], []):
        run = subprocess.run([sys.executable, "-m", "pytest", "-p", "no:cacheprovider"] + loaded +
                             ["--velkctl", FAKE, "test_one.py"], cwd=str(tmp_path), env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        assert run.returncode == 0, run.stdout.decode()


def test_every_message_of_the_package_has_its_chinese_and_comes_first_when_asked(monkeypatch):
    from velk import _text
    conversion = re.compile(r"%[-+ #0-9.]*[sdirgf]")
    for path in glob.glob(os.path.join(os.path.dirname(HERE), "velk", "*.py")):
        for node in ast.walk(ast.parse(open(path, encoding="utf-8").read())):
            if isinstance(node, ast.Call) and getattr(node.func, "id", None) == "say":
                key = node.args[0].value
                assert key in _text._CHINESE, "%s: no Chinese for %r" % (path, key)
                order = _text._ORDER.get(key, range(len(conversion.findall(key))))
                assert len(conversion.findall(_text._CHINESE[key])) == len(conversion.findall(key)) == len(order), key
    monkeypatch.setenv("VELK_LANG", "zh")
    with pytest.raises(IndexError) as chinese:
        velk.Bus(velkctl=FAKE).variables[64]
    assert str(chinese.value) == "变量编号为 0-63，而不是 64\nvariables are 0-63, not 64"
    assert _text.say("velkctl session did not answer request %d in %gs", 7, 2.5) == \
        "velkctl session 在 2.5s 内没有回答请求 7\nvelkctl session did not answer request 7 in 2.5s"
    monkeypatch.setenv("VELK_LANG", "en")
    assert _text.say("velkctl session did not answer request %d in %gs", 7, 2.5) == \
        "velkctl session did not answer request 7 in 2.5s"

"""The velk package against the real `velkctl session`: $VELKCTL, run off
Windows through the Wine loader the package picks (velk._wine), on a bus of
its own. Run by the Windows build's ctest
(velk_python_live)."""

import gzip
import os
import re
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

import pytest

import velk
from velk import _wine

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SIGNALS = os.path.join(ROOT, "docs", "signals-example.toml")
BUS = "pylive%d" % os.getpid()
RENDER_CHECK = os.path.join(ROOT, "tests", "browser", "render_check.py")
CHROMIUM = "/usr/bin/chromium"

pytestmark = pytest.mark.skipif(not os.environ.get("VELKCTL"), reason="needs VELKCTL, a built velkctl.exe")


def velkctl(*arguments):
    """velkctl as velk.Bus runs it (through the Wine loader it picks), for a second client on the bus."""
    return _wine.windows_command(os.environ["VELKCTL"])[0] + list(arguments)


@pytest.fixture(scope="module")
def bus():
    with velk.Bus(bus=BUS, signals=SIGNALS) as opened:
        yield opened


def test_post_and_expect_by_code_and_by_name(bus):
    waiter = bus.expect(0x20000801, eq=5, within=5.0)
    bus.post(0x20000801, 5)
    assert waiter.wait().value == 5

    state = bus.expect("motor.state", eq="RUNNING", within=5.0)
    speed = bus.expect("motor.speed", ge=148.25, within=5.0)
    bus.post("motor.state", "RUNNING")
    bus.post("motor.speed", 148.25)
    message = state.wait()
    assert (message.code, message.value, message.labels) == (0x20001002, 2, {"motor.state": "RUNNING"})
    message = speed.wait()
    assert (message.code, message.value, message.signals) == (0x20001001, 593, {"motor.speed": 148.25})


def test_text_signals_and_any_message(bus):
    changed = bus.expect("rig.text", changed=True, within=5.0)
    spaced = bus.expect("rig.text", eq="PUMP READY", within=5.0)
    part = bus.expect("rig.text", contains="就", within=5.0)
    anything = bus.expect("motor.speed", within=5.0)
    for text in ("READY", "PUMP READY", "就绪"):
        bus.send_str("rig.text", text)
    bus.post("motor.speed", 100)
    assert changed.wait().signals == {"rig.text": "PUMP READY"}
    assert spaced.wait().text == "PUMP READY"
    assert part.wait().signals["rig.text"] == "就绪"
    assert anything.wait().signals == {"motor.speed": 100}
    # changed compares with the code's last message before the expect, the test's own post
    # (here back from the bus before the expect is armed).
    back = bus.expect("rig.text", eq="就绪", within=5.0)
    bus.send_str("rig.text", "就绪")
    back.wait()
    changed = bus.expect("rig.text", changed=True, within=5.0)
    bus.send_str("rig.text", "运行")
    assert changed.wait().signals == {"rig.text": "运行"}
    with pytest.raises(velk.VelkError, match="no signal 'rig.txt'; did you mean 'rig.text'"):
        bus.expect("rig.txt", changed=True)


def test_a_timeout_names_what_came(bus):
    waiter = bus.expect(0x20000801, eq=9, within=0.5)
    bus.post(0x20000801, 7)
    with pytest.raises(velk.ExpectTimeout) as timeout:
        waiter.wait()
    assert "no message with 20000801 eq 9 within 0.5s: 1 of those codes came, the last" in str(timeout.value)
    assert (timeout.value.seen, timeout.value.last.value) == (1, 7)
    with pytest.raises(velk.ExpectTimeout, match="none of those codes came at all"):
        bus.expect(0x20000805, eq=1, within=0.2).wait()
    with pytest.raises(velk.VelkError, match="no signal 'motor.sped'; did you mean 'motor.speed'"):
        bus.post("motor.sped", 1)


def test_rate_of_a_periodic_sender_and_variables(bus):
    first = bus.expect(0x20000803, eq=1, within=20.0)
    sender = subprocess.Popen(velkctl("post", "20000803", "1", "--every", "20ms", "--count", "150"),
                              env=dict(os.environ, VELK_BUS_NAME=BUS), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        first.wait()   # the sender is up
        hz = bus.assert_rate(0x20000803, hz=50, tolerance=0.1, over=1.5)
        assert 45 <= hz <= 55
    finally:
        sender.wait(timeout=30)
    bus.variables[0] = -5
    bus.variables[63] = 4294967295
    assert (bus.variables[0], bus.variables[63]) == (-5, -1)


def test_subscribe_collect_clients_and_counters(bus):
    events = bus.subscribe(0x20000800, mask=0xFFFFFF00)
    texts = bus.subscribe(0x30000201)
    bus.send_str(1, "泵已启动")   # out in the system code page (GBK), back as UTF-8
    assert texts.get(timeout=5.0).text == "泵已启动"
    bus.send_str("rig.text", "就绪")   # by name: rig.text is gbk in the signal file
    assert texts.get(timeout=5.0).text == "就绪"
    bus.post(0x20000804, 8)
    assert events.get(timeout=5.0).value == 8
    events.close()
    bus.post(0x20000804, 9)
    assert events.get(timeout=0.3) is None
    assert bus.collect(0x30000201, over=0.3) == []
    posted = bus.counters()["posted"]
    assert posted >= 3 and [c["name"] for c in bus.clients()] == ["velkctl"]


def test_the_wheel_carries_velkctl_and_finds_it_alone(tmp_path):
    bin_dir = os.path.dirname(os.path.abspath(os.environ["VELKCTL"]))
    platform = os.environ.get("VELK_WHEEL_PLATFORM", "win_amd64")   # the build's width
    wheel = subprocess.run(["bash", os.path.join(ROOT, "scripts", "build-wheel.sh"), bin_dir, platform,
                            velk.__version__, str(tmp_path / "wheel")],
                           stdout=subprocess.PIPE, check=True, timeout=120).stdout.decode().strip()
    assert wheel.endswith("velk-%s-py3-none-%s.whl" % (velk.__version__, platform))
    site = tmp_path / "site"
    subprocess.run([sys.executable, "-m", "pip", "install", "-q", "--disable-pip-version-check", "--no-index",
                    "--no-deps", "--platform", platform, "--target", str(site), wheel], check=True, timeout=120)
    # Neither VELKCTL nor PATH names one: the package's own is found and used,
    # through the Wine loader the package finds runs here (none named).
    env = {name: value for name, value in os.environ.items()
           if name not in ("VELKCTL", "PYTHONPATH") + _wine.NAMED_BY}
    run = subprocess.run([sys.executable, "-I", "-c",
                          "import sys; sys.path.insert(0, sys.argv[1]); import velk, velk.bus\n"
                          "with velk.Bus(bus=sys.argv[2]) as bus:\n"
                          "    posted = bus.expect(0x20000801, within=30)\n"
                          "    bus.post(0x20000801, 3)\n"
                          "    print(velk.bus.find_velkctl(), posted.wait().value)\n",
                          str(site), BUS + "w"], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                         timeout=120)
    output = run.stdout.decode("utf-8", "replace")
    assert run.returncode == 0, output
    assert output.split() == [str(site / "velk" / "bin" / "velkctl.exe"), "3"], output


def test_a_failing_example_reports_the_bus_last_messages(tmp_path):
    report = tmp_path / "report.xml"
    run = subprocess.run([sys.executable, "-B", "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velk-bus", BUS + "x", "--junitxml", str(report), "--velk-report", "report.html",
                          os.path.join(ROOT, "python", "examples", "failing_report.py")],
                         cwd=str(tmp_path), env=dict(os.environ, PYTHONPATH=os.path.join(ROOT, "python")),
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    output = run.stdout.decode("utf-8", "replace")
    assert run.returncode == 1, output
    cases = {case.get("name"): case for case in ElementTree.parse(str(report)).iter("testcase")}
    failing = cases["test_no_device_answers_and_the_report_shows_the_request"]
    assert "none of those codes came at all" in failing.find("failure").get("message"), output
    assert "failing_report.py:15: ExpectTimeout" in failing.find("failure").text, output
    properties = {p.get("name"): p.get("value") for p in failing.iter("property")}
    # The request went to another code than the one awaited: the whole bus is shown.
    assert " 20000801 value 5" in properties["velk_messages"], output
    assert "velk messages (the bus's last 1)" in output, output
    # The HTML report: velkctl plot's chart of both codes, the expect's window shaded and its end marked, and the
    # bus's last message.
    page = (tmp_path / "report.html").read_text(encoding="utf-8")
    assert properties["velk_report"] == "report.html#t1", output
    chart = page[page.index("<svg"):page.index("</svg>")]
    assert "20000802 (no data)" in chart and "20000801" in chart and "<circle" in chart, chart
    assert 'fill="#ffebb0"' in chart and 'stroke="#000000" stroke-dasharray' in chart, chart
    assert re.search(r"<pre>\s*[+-]\d+\.\d{6}  \d+\.\d{6} 20000801 value 5</pre>", page), page
    # It renders in a real browser without a console error, asking for nothing beyond itself.
    if not os.path.exists(CHROMIUM):   # only off the CI path: install-deps installs it
        pytest.skip("no %s to render the HTML report in" % CHROMIUM)
    rendered = subprocess.run([sys.executable, "-B", RENDER_CHECK, str(tmp_path / "report.html")],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    assert rendered.returncode == 0, rendered.stdout.decode("utf-8", "replace")


START = "2026-12-08T17:12:03.123+08:00"
# A recording with a trigger mark and an expired payload, and the same in two
# parts, the second half a second into the series: read and replayed alike.
PART_ONE = ["0.000000 20000871 V 5", "0.010000 30000271 S 68656c6c6f", "# trigger", "0.020000 20000871 V -7"]
PART_TWO = ["0.000000 20000871 V 9", "# the next message's payload had expired", "0.010000 30000471 A -",
            "0.020000 30000471 A 0102ff"]


def write_recordings(folder):
    """The plain file, its .gz in two gzip members and its series; their paths as replay may name them."""
    moved = ["%.6f%s" % (float(line.split()[0]) + 0.5, line[8:]) if line[0] != "#" else line for line in PART_TWO]
    plain = "# velk record 1\n# start %s\n%s\n" % (START, "\n".join(PART_ONE + moved))
    (folder / "run.txt").write_text(plain)
    middle = len(plain) // 2   # a member ends inside a line
    (folder / "run.txt.gz").write_bytes(gzip.compress(plain[:middle].encode()) + gzip.compress(plain[middle:].encode()))
    parts = folder / "parts"
    parts.mkdir()
    for number, start, lines in ((1, START, PART_ONE), (2, START.replace("03.123", "03.623"), PART_TWO)):
        header = "# velk record 1\n# start %s\n# part %d, %.6f s into the series started %s\n" % (
            start, number, 0.5 * (number - 1), START)
        (parts / ("run-%04d.txt" % number)).write_text(header + "\n".join(lines) + "\n")
    return [folder / "run.txt", folder / "run.txt.gz", parts, parts / "run-0001.txt", str(parts / "run-*.txt")]


def test_a_recording_plain_gzip_or_in_parts_reads_and_replays_the_same(bus, tmp_path):
    expected = [(0.0, 0x20000871, 5, b"", False, False), (0.01, 0x30000271, None, b"hello", False, False),
                (0.02, 0x20000871, -7, b"", False, True), (0.5, 0x20000871, 9, b"", False, False),
                (0.51, 0x30000471, None, b"", True, False), (0.52, 0x30000471, None, b"\x01\x02\xff", False, False)]
    events = bus.subscribe(0x20000071, mask=0xEFFFF1FF)   # 20000871, 30000271 and 30000471
    for path in write_recordings(tmp_path):
        read = [(m.time, m.code, m.value, m.bytes, m.expired, m.trigger) for m in velk.read_recording(path)]
        assert read == expected, path
        counts = bus.replay(path, speed=0)
        assert (counts["posted"], counts["triggers"], counts["expired"]) == (6, 1, 1), path
        got = [events.get(timeout=10.0) for _ in expected]
        # An expired payload is posted again as none.
        assert [(m.code, m.value, m.bytes) for m in got if m] == [row[1:4] for row in expected], path
    assert (counts["parts"], "notice" in counts) == (2, False)
    # At speed 1 the spacing is the recording's, the half second between the parts included.
    counts = bus.replay(tmp_path / "parts", speed=1)
    got = [events.get(timeout=10.0) for _ in expected]
    assert 0.5 <= got[-1].time - got[0].time < 1.5 and counts["seconds"] >= 0.5

    with pytest.raises(velk.VelkError, match="cannot open .*nothere.txt"):
        bus.replay(tmp_path / "nothere.txt")
    with pytest.raises(velk.VelkError, match="cannot open .*nothere.txt"):
        list(velk.read_recording(tmp_path / "nothere.txt"))
    # Nothing is posted from a recording with a bad line.
    (tmp_path / "bad.txt").write_text("# velk record 1\n0.000000 20000871 V 5\n0.010000 20000871 X 6\n")
    with pytest.raises(velk.VelkError, match="bad.txt:3: "):
        bus.replay(tmp_path / "bad.txt", speed=0)
    with pytest.raises(velk.VelkError, match="bad.txt:3: "):
        list(velk.read_recording(tmp_path / "bad.txt"))
    assert events.get(timeout=0.5) is None
    events.close()


def test_the_sessions_simulation_counts_checks_and_takes_a_set(bus):
    bus.simulate(only=["motor.status"])
    try:
        first = bus.expect("motor.status.alive", eq=3, within=5.0).wait()
        assert (first.signals["motor.status.current"], first.faults) == (0.4, {})
        bus.set("motor.status.current", 2.5)
        changed = bus.expect("motor.status.current", eq=2.5, within=2.0).wait()
        assert changed.faults == {} and changed.time - first.time < 2.0
        assert bus.describe("motor.status")["running"] is True
        with pytest.raises(velk.VelkError, match="the simulation runs already"):
            bus.simulate()
        with pytest.raises(velk.VelkError, match="101 A is above its max 100 A"):
            bus.set("motor.status.current", 101)
    finally:
        bus.stop()
    time.sleep(0.2)
    assert bus.collect(0x30000403, over=0.3) == []   # stopped


def test_a_node_answers_requests_live_and_replayed(bus):
    node = velk.Node(bus=BUS, signals=SIGNALS)
    answered = []

    @node.on("pump.request")
    def answer(message):
        request = message.labels["pump.request"]   # a raw value the enum lacks has no label: KeyError
        answered.append(request)
        node.send("motor.state", value="RUNNING" if request == "START" else "STOPPED")

    with node:
        running = bus.expect("motor.state", eq="RUNNING", within=5.0)
        bus.post("pump.request", "START")
        assert running.wait().labels == {"motor.state": "RUNNING"}
        # The same from a recording replayed: the node cannot tell.
        recording = os.path.join(tempfile.mkdtemp(), "requests.txt")
        with open(recording, "w") as out:
            out.write("# velk record 1\n0.000000 20001004 V 2\n")
        stopped = bus.expect("motor.state", eq="STOPPED", within=10.0)
        subprocess.run(velkctl("replay", recording), env=dict(os.environ, VELK_BUS_NAME=BUS), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        stopped.wait()
        # An unnamed raw value raises in the handler: reported, and the node answers the next.
        bus.post(0x20001004, 7)
        again = bus.expect("motor.state", eq="RUNNING", within=5.0)
        bus.post("pump.request", "START")
        again.wait()
    assert answered == ["START", "STOP", "START"]
    assert len(node.errors) == 1 and "KeyError: 'pump.request'" in node.errors[0][1]


def test_a_node_whose_session_is_killed_stops_at_once():
    node = velk.Node(bus=BUS, signals=SIGNALS)

    @node.every("50ms")
    def tick():
        node.send("motor.status", current=1.0)

    with node:
        node.bus._process.kill()
        deadline = time.monotonic() + 10
        while node.failure is None and time.monotonic() < deadline:
            time.sleep(0.05)
    assert "velkctl session ended (exit status -9)" in str(node.failure) and node.errors == []


def test_the_node_fixture_and_the_motor_example(tmp_path):
    env = dict(os.environ, PYTHONPATH=os.path.join(ROOT, "python"))
    run = subprocess.run([sys.executable, "-B", "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velk-bus", BUS + "n", "--velk-signals", SIGNALS,
                          os.path.join(ROOT, "python", "examples", "test_motor.py")],
                         cwd=str(tmp_path), env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    assert run.returncode == 0, run.stdout.decode("utf-8", "replace")
    # The motor of the docs, headless, answering a START with a speed ramping up.
    node = subprocess.Popen([sys.executable, "-B", "-m", "velk.node", os.path.join(ROOT, "python", "examples", "motor_node.py"),
                             "--bus", BUS + "m", "--signals", SIGNALS, "--simulate", "motor.speed", "motor.state",
                             "--duration", "30"], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        with velk.Bus(bus=BUS + "m", signals=SIGNALS) as rig:
            rig.expect("motor.state", eq="STOPPED", within=20.0).wait()   # the node's simulation is up
            running = rig.expect("motor.state", eq="RUNNING", within=10.0)
            rig.post("pump.request", "START")
            assert running.wait().labels == {"motor.state": "RUNNING"}
            assert rig.expect("motor.speed", eq=1480, within=2.0).wait().signals == {"motor.speed": 1480}
    finally:
        node.terminate()
        node.wait(timeout=30)

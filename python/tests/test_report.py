"""pytest --velk-report: the HTML page's writer, the journal it reads and
the recording its plots are drawn from; the plugin's run end to end against
tests/fake_session.py (whose "plot" says what it was asked)."""

import hashlib
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

from velk import _journal, _plot, _report
from velk._message import Message

HERE = os.path.dirname(os.path.abspath(__file__))
FAKE = os.path.join(HERE, "fake_session.py")


def record(nodeid, **phases):
    made = _report.TestRecord(nodeid)
    for when, outcome in phases.items():
        made.add_phase(when, outcome, 0.25, "" if outcome == "passed" else "%s %s" % (when, outcome))
    return made


def test_verdicts_count_a_failed_setup_or_teardown_as_an_error_and_a_failed_call_as_a_failure(monkeypatch):
    records = [record("a", setup="passed", call="passed", teardown="passed"),
               record("b", setup="passed", call="failed", teardown="passed"),
               record("c", setup="passed", call="failed", teardown="failed"),   # the test's own failure first
               record("d", setup="failed", teardown="passed"),
               record("e", setup="passed", call="passed", teardown="failed"),
               record("f", setup="skipped", teardown="passed")]
    assert [r.verdict for r in records] == ["passed", "failed", "failed", "error", "error", "skipped"]
    assert _report.count_verdicts(records) == {"passed": 1, "failed": 2, "skipped": 1, "error": 2}
    page = _report.render(records, [])
    summary = page[page.index("<table id=summary>"):page.index("</table>", page.index("<table id=summary>"))]
    assert re.findall(r"<td class='?n[^>]*>([0-9.]+)", summary) == ["6", "1", "2", "1", "2", "4.00"]
    assert "call failed\n\nteardown failed" in page
    # Sections past the budget keep their verdict and failure only, from the first past it on.
    for one in records:
        one.messages = [(0.5, "0.500000 20000801 value 5")]
    first = _report._test_section(1, records[0])
    monkeypatch.setattr(_report, "BUDGET", len(first.encode("utf-8")) + 1)
    assert "20000801 value 5" in _report.render(records[:2], []).split("id=t2")[1]
    monkeypatch.setattr(_report, "BUDGET", len(first.encode("utf-8")))
    page = _report.render(records[:2], [])
    assert "20000801 value 5" in page.split("id=t2")[0] and "20000801 value 5" not in page.split("id=t2")[1]
    assert "call failed" in page.split("id=t2")[1] and "left out" in page.split("id=t2")[1]
    # A long failure keeps its end, where the assertion is.
    long = record("g", call="failed")
    long.phases["call"] = ("failed", 0, "x" * 5000 + "THE END")
    assert long.failure.endswith("THE END") and len(long.failure) == _report.FAILURE_CHARACTERS + 1


def test_every_text_of_the_page_is_escaped_and_the_plot_inlined():
    journal = _journal.Journal()
    journal.note("post", "pump.<b>", '"5" & \'6\'')
    expect = journal.note("expect", 0x20000801, "20000801 eq <script>", 0.5)
    expect.outcome, expect.ended = "timed out", 0.5
    bad = record("test_x[<script>alert(1)</script>]", call="failed")
    bad.phases["call"] = ("failed", 0, "E   assert '</pre><img src=x onerror=alert(2)>'")
    bad.events = journal.events
    bad.messages = [(0.1, "0.100000 20000801 value 5 rig.text=\"<i>\"")]
    bad.plot = '<svg xmlns="http://www.w3.org/2000/svg"><title>a &amp; b</title></svg>'
    page = _report.render([bad], [("信号文件", "signal file", "rig<1>.toml")], title="bench&<7>")
    body = page[page.index("<body>"):]
    for raw in ("<script>", "<img", "<b>", "<i>", "rig<1>", "bench&<7>"):
        assert raw not in body, raw
    for escaped in ("test_x[&lt;script&gt;alert(1)&lt;/script&gt;]", "&lt;/pre&gt;&lt;img src=x", "pump.&lt;b&gt;",
                    "&quot;5&quot; &amp; &#x27;6&#x27;", "20000801 eq &lt;script&gt;", "rig.text=&quot;&lt;i&gt;&quot;",
                    "rig&lt;1&gt;.toml", "bench&amp;&lt;7&gt;"):
        assert escaped in page, escaped
    assert "data-name='test_x[&lt;script&gt;" in page   # the filter reads the name from an attribute
    assert bad.plot in page and "0.000 – 0.500 s" in page
    # Nothing of the page comes from elsewhere.
    assert not re.search(r"(src|href)=['\"]?(https?:|//)", page) and "@import" not in page


def test_the_journal_and_the_plotted_recording_keep_to_their_bounds():
    journal = _journal.Journal()
    for n in range(_journal.LIMIT):
        journal.note("post", 0x20000800 + n % 9, str(n))
    assert (len(journal.events), journal.left_out) == (_journal.LIMIT, 0)
    journal.note("post", "motor.speed", "1")
    journal.note("post", "motor.speed", "2")
    assert (len(journal.events), journal.left_out) == (_journal.LIMIT, 2)
    assert journal.touched == ["%08x" % (0x20000800 + n) for n in range(8)]
    assert journal.beyond == {"20000808", "motor.speed"}
    journal.begin()
    assert (journal.events, journal.left_out, journal.touched, journal.beyond) == ([], 0, [], set())

    def message(t, code, value=None, kind="value", data=""):
        fields = {"t": str(t), "code": "%08x" % code, "kind": kind, "bytes": data}
        if value is not None:
            fields["value"] = value
        return Message(fields)

    given = [message(10.0, 0x20000801, 4294967295), message(9.999, 0x20000801, 1),   # a moment before the start
             message(10.5, 0x30000201, kind="string", data="4142"), message(10.5, 0x30000401, kind="array"),
             message(12.0, 0x20000801, -7), message(12.0, 0x20000801, -7),   # the end, twice: once
             message(12.000001, 0x20000801, 3)]
    text = _plot.recording(given, lambda t: t - 10.0, 2.0)
    assert text == ("# velk record 1\n0.000000 20000801 V -1\n0.500000 30000201 S 4142\n0.500000 30000401 A -\n"
                    "2.000000 20000801 V -7\n")


def test_a_run_writes_its_page_and_the_junit_file_links_it(tmp_path):
    (tmp_path / "rig.toml").write_text("# a signal file\n")
    (tmp_path / "test_rig.py").write_text(
        "import pytest\n"
        "def test_passes(velk_bus):\n"
        "    velk_bus.post(0x20000801, 5)\n"
        "    velk_bus.expect(0x20000801, eq=5, within=0.5).wait()\n"
        "def test_times_out(velk_bus):\n"
        "    sub = velk_bus.subscribe(0x20000802)\n"
        "    waiter = velk_bus.expect(0x20000801, eq=6, within=0.3)\n"
        "    velk_bus.post(0x20000801, 5)\n"
        "    waiter.wait()\n"
        "@pytest.fixture\n"
        "def rig():\n"
        "    raise RuntimeError('no rig')\n"
        "def test_errs(rig):\n"
        "    pass\n"
        "def test_skips():\n"
        "    pytest.skip('later')\n")
    os.mkdir(str(tmp_path / "out"))
    run = subprocess.run([sys.executable, "-B", "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                          "--velkctl", FAKE, "--velk-signals", "rig.toml", "--velk-bus", "RIG<1>",
                          "--velk-report", "report.html", "--junitxml", "out/junit.xml", "test_rig.py"],
                         cwd=str(tmp_path), env=dict(os.environ, PYTHONPATH=os.path.dirname(HERE)),
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    output = run.stdout.decode("utf-8", "replace")
    assert run.returncode == 1 and "1 failed, 1 passed, 1 skipped, 1 error" in output, output
    page = (tmp_path / "report.html").read_text(encoding="utf-8")
    rows = re.findall(r"<tr data-verdict=(\w+) data-name='[^']*::(\w+)'", page)
    assert rows == [("passed", "test_passes"), ("failed", "test_times_out"), ("error", "test_errs"),
                    ("skipped", "test_skips")]
    failed = page[page.index("<section class=test id=t2"):page.index("<section class=test id=t3")]
    # What it did, in order, the expect with its window and outcome.
    assert re.findall(r"<td>\S+ (post|subscribe|expect)<td>", failed) == ["subscribe", "expect", "post"]
    assert "20000801 eq 6" in failed and "timed out" in failed
    # The plot of the codes it touched over its span, the window shaded and the failure marked...
    asked = re.search(r"<desc>plot messages.txt (.*?)</desc><desc>(\d+) messages", failed)
    assert asked, failed
    words = asked.group(1).split()
    assert words[words.index("--code") + 1] == "20000802" and words.count("--code") == 2
    shade = [float(words[words.index("--shade") + 1]), float(words[words.index("--shade") + 2])]
    assert 0 <= shade[0] < 0.1 and abs(shade[1] - shade[0] - 0.3) < 1e-5
    assert float(words[words.index("--mark") + 1]) == shade[1] < float(words[words.index("--to") + 1])
    assert int(asked.group(2)) >= 1
    # ... and the bus's last messages, as the text report has them.
    assert re.search(r"<pre>\s*[+-]\d+\.\d{6}  \d+\.\d{6} 20000801 value 5", failed), failed
    assert "<svg" not in page[page.index("<section class=test id=t1"):page.index("<section class=test id=t2")]
    digest = hashlib.sha256(b"# a signal file\n").hexdigest()
    assert "rig.toml (sha256 %s)" % digest in page and "velkctl 9.9 (fake)" in page and "RIG&lt;1&gt;" in page
    suite = ElementTree.parse(str(tmp_path / "out" / "junit.xml")).getroot().find("testsuite")
    assert {p.get("name"): p.get("value") for p in suite.find("properties")} == {"velk_report": "../report.html"}
    links = {case.get("name"): [p.get("value") for p in case.iter("property") if p.get("name") == "velk_report"]
             for case in suite.iter("testcase")}
    assert links["test_times_out"] == ["../report.html#t2"] and links["test_passes"] == []
    # A page that has no folder to go to is refused before any test runs.
    refused = subprocess.run([sys.executable, "-B", "-m", "pytest", "-p", "velk.pytest_plugin", "-p", "no:cacheprovider",
                              "--velkctl", FAKE, "--velk-report", "none/report.html", "test_rig.py"],
                             cwd=str(tmp_path), env=dict(os.environ, PYTHONPATH=os.path.dirname(HERE)),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    said = refused.stdout.decode("utf-8", "replace")
    assert refused.returncode == 4 and "--velk-report none/report.html: there is no folder" in said, said

"""The HTML test report of pytest --velk-report: one file that needs nothing
else (no network, no other file; a little inline script filters the table),
Chinese first with English. Every text in it is escaped; the plots are
velkctl plot's SVG, whose texts lib/chart escapes."""

import html

# Verdicts in the order the summary shows them, with their words there (and a test's, where they differ).
VERDICTS = (("passed", "通过", "passed"), ("failed", "失败", "failed"), ("skipped", "跳过", "skipped"),
            ("error", "错误", "errors"))
_VERDICT_OF_ONE = dict((verdict, (chinese, english)) for verdict, chinese, english in VERDICTS)
_VERDICT_OF_ONE["error"] = ("错误", "error")
# A failure's text is cut to its end past this many characters: the assertion and its line come last.
FAILURE_CHARACTERS = 4000
# The tests' sections past this many bytes keep only their verdict and failure: a run of many failures stays
# a page a mail carries (bench/report/report_size.py measures a 200-test run).
BUDGET = 4500000
_EVENTS = {"post": ("发送", "post"), "subscribe": ("订阅", "subscribe"), "expect": ("等待", "expect")}
_OUTCOMES = {None: ("未等待", "not waited for"), "matched": ("满足", "matched"), "timed out": ("超时", "timed out")}


class TestRecord:
    """One test: its phases' outcomes, and what its report shows of the bus."""

    def __init__(self, nodeid):
        self.nodeid = nodeid
        self.phases = {}          # "setup", "call", "teardown": (outcome, duration, failure text)
        self.events = []          # velk._journal.Event
        self.left_out = 0         # events past the journal's limit
        self.messages = None      # [(seconds from the test's start, message line)], the bus's last
        self.messages_note = None
        self.plot = None          # SVG text
        self.plot_note = None     # why there is none
        self.failed_expect = None

    def add_phase(self, when, outcome, duration, text=""):
        self.phases[when] = (outcome, duration, text)

    @property
    def verdict(self):
        """failed when the test itself failed; error when its setup or teardown did (the test system, not the
        device); else skipped when any part was skipped; else passed."""
        outcomes = {when: phase[0] for when, phase in self.phases.items()}
        if outcomes.get("call") == "failed":
            return "failed"
        if "failed" in (outcomes.get("setup"), outcomes.get("teardown")):
            return "error"
        if "skipped" in outcomes.values():
            return "skipped"
        return "passed"

    @property
    def duration(self):
        return sum(phase[1] for phase in self.phases.values())

    @property
    def failure(self):
        """The failing phases' texts, the end of each kept."""
        texts = [phase[2] for when, phase in sorted(self.phases.items()) if phase[0] != "passed" and phase[2]]
        text = "\n\n".join(texts)
        return text if len(text) <= FAILURE_CHARACTERS else "…" + text[-FAILURE_CHARACTERS:]


def count_verdicts(records):
    counts = dict((verdict, 0) for verdict, _, _ in VERDICTS)
    for record in records:
        counts[record.verdict] += 1
    return counts


def _e(text):
    return html.escape(str(text), quote=True)


def _both(chinese, english):
    return "%s <span class=en>%s</span>" % (_e(chinese), _e(english))


_STYLE = """
body{font:14px/1.4 sans-serif;margin:1.5em;color:#202020}
h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.6em}h3{font-size:1.05em}
.en{color:#606060}table{border-collapse:collapse;margin:.5em 0}
td,th{border:1px solid #d0d0d0;padding:2px 8px;text-align:left;vertical-align:top}
th{background:#f0f0f0}td.n{text-align:right}
pre{background:#f7f7f7;border:1px solid #e0e0e0;padding:6px;overflow:auto;max-height:30em;font-size:12px}
.passed{color:#1a7f37}.failed{color:#c0201e}.error{color:#b35900}.skipped{color:#606060}
section.test{border-top:1px solid #d0d0d0;margin-top:1em}
.hidden{display:none}label{margin-right:1em}figure{margin:.5em 0}figure svg{max-width:100%;height:auto}
"""

# Shows the rows and sections of the verdicts ticked whose names hold the text typed.
_SCRIPT = """
function velkFilter() {
  var shown = {}, boxes = document.querySelectorAll('#filter input[type=checkbox]');
  for (var i = 0; i < boxes.length; i++) shown[boxes[i].value] = boxes[i].checked;
  var text = document.getElementById('filter-text').value.toLowerCase();
  var items = document.querySelectorAll('[data-verdict]');
  for (var j = 0; j < items.length; j++) {
    var item = items[j];
    var keep = shown[item.getAttribute('data-verdict')] &&
               item.getAttribute('data-name').toLowerCase().indexOf(text) >= 0;
    item.classList.toggle('hidden', !keep);
  }
}
"""


def _summary(records):
    counts = count_verdicts(records)
    total = sum(record.duration for record in records)
    cells = "".join("<td class='n %s'>%d</td>" % (verdict, counts[verdict]) for verdict, _, _ in VERDICTS)
    heads = "".join("<th>%s</th>" % _both(chinese, english) for _, chinese, english in VERDICTS)
    return ("<table id=summary><tr><th>%s</th>%s<th>%s</th></tr><tr><td class=n>%d</td>%s<td class=n>%.2f s</td></tr>"
            "</table>\n" % (_both("测试", "tests"), heads, _both("用时", "duration"), len(records), cells, total))


def _filter():
    boxes = "".join("<label><input type=checkbox value=%s checked onchange='velkFilter()'> %s</label>"
                    % (verdict, _both(chinese, english)) for verdict, chinese, english in VERDICTS)
    return ("<p id=filter>%s<label>%s <input id=filter-text type=search oninput='velkFilter()'></label></p>\n"
            % (boxes, _both("名称包含", "name contains")))


def _verdict_table(records):
    rows = []
    for number, record in enumerate(records, 1):
        verdict = record.verdict
        words = _VERDICT_OF_ONE[verdict]
        rows.append("<tr data-verdict=%s data-name='%s'><td class=n>%d</td><td><a href='#t%d'>%s</a></td>"
                    "<td class=%s>%s</td><td class=n>%.3f s</td></tr>"
                    % (verdict, _e(record.nodeid), number, number, _e(record.nodeid), verdict, _both(*words),
                       record.duration))
    return ("<table id=verdicts><thead><tr><th>#</th><th>%s</th><th>%s</th><th>%s</th></tr></thead><tbody>\n%s\n"
            "</tbody></table>\n" % (_both("测试", "test"), _both("结果", "verdict"), _both("用时", "duration"),
                                    "\n".join(rows)))


def _events(record):
    if not record.events:
        return ""
    rows = []
    for event in record.events:
        outcome = "<td>"
        if event.kind == "expect":
            words = _OUTCOMES.get(event.outcome, (event.outcome, event.outcome))
            at = "" if event.ended is None else " @ %.3f s" % event.ended
            outcome = "<td%s>%s %s%s" % (" class=failed" if event.outcome == "timed out" else "", words[0],
                                         words[1], at)
        window = "<td>%.3f – %.3f s" % (event.at, event.at + event.within) if event.within is not None else "<td>"
        # Rows without their closing tags, which HTML leaves implied: a long run's page is smaller.
        rows.append("<tr><td class=n>%.3f<td>%s %s<td>%s<td>%s%s%s"
                    % ((event.at,) + _EVENTS.get(event.kind, (event.kind, event.kind)) +
                       (_e(event.target), _e(event.detail), window, outcome)))
    more = ("<p>%s</p>" % _both("另有 %d 项未列出" % record.left_out, "%d more left out" % record.left_out)
            if record.left_out else "")
    return ("<h4>%s</h4><table class=events><tr><th>%s</th><th>%s</th><th>%s</th><th>%s</th><th>%s</th><th>%s</th></tr>"
            "\n%s\n</table>%s\n" % (_both("总线上的操作", "on the bus"), _both("时间 (s)", "time (s)"),
                                    _both("操作", "action"), _both("目标", "target"),
                                    _both("值或条件", "value or predicate"), _both("时间窗", "window"),
                                    _both("结果", "outcome"), "\n".join(rows), more))


def _failure_pictures(record):
    parts = []
    if record.plot is not None:
        parts.append("<figure>%s<figcaption>%s</figcaption></figure>" % (record.plot, _both(
            "测试期间触及的信号；底色为等待的时间窗，虚线为失败时刻（时间自测试开始）",
            "the signals the test touched; shaded: the expect's window, dashed: the moment it failed "
            "(times from the test's start)")))
    if record.plot_note:
        parts.append("<p>%s: %s</p>" % (_both("没有图", "no plot") if record.plot is None else _both("图", "plot"),
                                        _e(record.plot_note).replace("\n", "<br>")))
    if record.messages is not None:
        lines = "\n".join("%+10.6f  %s" % (seconds, line) for seconds, line in record.messages)
        parts.append("<h4>%s</h4><pre>%s</pre>" % (
            _both("总线上最后的 %d 条消息" % len(record.messages), "the bus's last %d messages" % len(record.messages))
            + " <span class=en>(%s)</span>" % _e("time from the test's start, then as the bus gave it"),
            _e(lines or "(no messages on the bus)")))
    if record.messages_note:
        parts.append("<p>%s</p>" % _e(record.messages_note))
    return "\n".join(parts)


def _test_section(number, record, whole=True):
    verdict = record.verdict
    words = _VERDICT_OF_ONE[verdict]
    failure = "<pre class=failure>%s</pre>" % _e(record.failure) if record.failure else ""
    if not whole:
        return ("<section class=test id=t%d data-verdict=%s data-name='%s'><h3>%d. %s — <span class=%s>%s</span></h3>"
                "%s<p>%s</p></section>\n" % (number, verdict, _e(record.nodeid), number, _e(record.nodeid), verdict,
                                             _both(*words), failure, _both(
                                                 "总线上的操作、图和消息未列出：报告已超过 %d 字节" % BUDGET,
                                                 "its bus actions, plot and messages are left out: the report has "
                                                 "passed %d bytes" % BUDGET)))
    return ("<section class=test id=t%d data-verdict=%s data-name='%s'><h3>%d. %s — <span class=%s>%s</span> "
            "(%.3f s)</h3>\n%s\n%s\n%s</section>\n"
            % (number, verdict, _e(record.nodeid), number, _e(record.nodeid), verdict, _both(*words),
               record.duration, failure, _events(record), _failure_pictures(record)))


def render(records, setup, title="velk"):
    """The whole page: records (TestRecord) in their run's order; setup: (Chinese, English, value) rows."""
    setup_rows = "".join("<tr><th>%s</th><td>%s</td></tr>" % (_both(chinese, english), _e(value))
                         for chinese, english, value in setup)
    sections, used = [], 0
    for number, record in enumerate(records, 1):
        sections.append(_test_section(number, record, used < BUDGET))
        used += len(sections[-1].encode("utf-8"))
    details = "".join(sections)
    return ("<!DOCTYPE html>\n<html lang=zh-CN><head><meta charset=utf-8>"
            "<meta name=viewport content='width=device-width'>"
            "<title>%s</title><style>%s</style><script>%s</script></head><body>\n"
            "<h1>%s</h1>\n%s<h2>%s</h2><table id=setup>%s</table>\n<h2>%s</h2>%s%s<h2>%s</h2>\n%s</body></html>\n"
            % (_e("%s 测试报告 test report" % title), _STYLE, _SCRIPT, _both("%s 测试报告" % title, "test report"),
               _summary(records), _both("测试环境", "setup"), setup_rows, _both("结果", "verdicts"), _filter(),
               _verdict_table(records), _both("各项测试", "each test"), details))


def write(path, records, setup, title="velk"):
    with open(path, "w", encoding="utf-8") as out:
        out.write(render(records, setup, title))

"""Fails on purpose, to show a failure's report: the bus's last messages,
whatever their codes and the test's own posts among them, go into the
terminal's "velk messages" section and into the velk_messages property of
--junitxml.

    python3 -m pytest -p velk.pytest_plugin --velk-bus RIG1 --junitxml=report.xml python/examples/failing_report.py"""

REQUEST = 0x20000801
STATE = 0x20000802


def test_no_device_answers_and_the_report_shows_the_request(velk_bus):
    answer = velk_bus.expect(STATE, eq=1005, within=0.5)
    velk_bus.post(REQUEST, 5)
    answer.wait()   # raises velk.ExpectTimeout: none came; the report holds "20000801 value 5"

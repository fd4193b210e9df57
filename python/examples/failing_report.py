"""Fails on purpose, to show a failure's report: the messages the test saw
go into the terminal's "velk messages" section and into the velk_messages
property of --junitxml.

    python3 -m pytest -p velk.pytest_plugin --velk-bus RIG1 --junitxml=report.xml python/examples/failing_report.py"""

REQUEST = 0x20000801


def test_a_wrong_answer_is_reported_with_what_came(velk_bus):
    answer = velk_bus.expect(REQUEST, eq=6, within=0.5)
    velk_bus.post(REQUEST, 5)
    answer.wait()   # raises velk.ExpectTimeout: 1 of those codes came, the last ... value 5

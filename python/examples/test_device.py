"""The worked example: the simulated device answers a request within a second.

    python3 examples/simulated_device.py --bus RIG1 &
    pytest --velk-bus RIG1 --junitxml=report.xml examples/test_device.py"""

REQUEST = 0x20000801
STATE = 0x20000802


def test_device_answers_a_request(velk_bus):
    answer = velk_bus.expect(STATE, eq=1005, within=1.0)   # armed before the stimulus
    velk_bus.post(REQUEST, 5)
    message = answer.wait()
    assert message.value == 1005


def test_variables_keep_what_is_set(velk_bus):
    velk_bus.variables[3] = 7
    assert velk_bus.variables[3] == 7

"""The pump's side of the rig tested against a motor simulated in the test
(the velk_node fixture): a request on the bus, the motor's answer expected.

    python -m pytest -p velk.pytest_plugin --velk-bus RIG1 --velk-signals docs/signals-example.toml python/examples/test_motor.py
"""


def test_the_motor_runs_when_the_pump_asks(velk_node, velk_bus):
    @velk_node.on("pump.request")
    def answer(message):
        if message.labels.get("pump.request") == "START":
            velk_node.send("motor.state", value="RUNNING")

    running = velk_bus.expect("motor.state", eq="RUNNING", within=2.0)   # armed before the stimulus
    velk_bus.post("pump.request", "START")
    assert running.wait().labels == {"motor.state": "RUNNING"}

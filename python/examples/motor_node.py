"""The example rig's missing motor as a Python node (docs/simulate.md).

The signal file sends the motor's messages on their periods, counters and
checksums and all (--simulate); this node answers the pump's requests by
changing what they say: START runs the motor up, STOP stops it.

    python -m velk.node python/examples/motor_node.py --signals docs/signals-example.toml \
        --simulate motor.speed motor.state motor.status
"""

import velk

node = velk.Node()
target = {"speed": 0.0}


@node.on("pump.request")
def answer(message):
    request = message.labels.get("pump.request")
    if request == "START":
        node.set("motor.state", "STARTING")
        target["speed"] = 1480.0
    elif request == "STOP":
        node.set("motor.state", "STOPPED")
        target["speed"] = 0.0


@node.every("100ms")
def ramp():
    """The speed follows its target at 500 rpm a second; RUNNING once there."""
    speed = ramp.speed = getattr(ramp, "speed", 0.0)
    step = 50.0 if target["speed"] > speed else -50.0
    if abs(target["speed"] - speed) <= 50.0:
        speed = target["speed"]
        if speed > 0:
            node.set("motor.state", "RUNNING")
    else:
        speed += step
    ramp.speed = speed
    node.set("motor.speed", speed)
    node.set("motor.status.current", round(speed / 100.0, 2))

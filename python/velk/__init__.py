"""Bench tests of devices on the VELK bus, through `velkctl session`.

    with velk.Bus(bus="RIG1", signals="rig.toml") as bus:
        w = bus.expect("pump.state", eq="RUNNING", within=2.0)
        bus.post("pump.command", "START")
        m = w.wait()

velk.Node is a simulated device: handlers of messages and timers
(velk/node.py, python -m velk.node). Timing is done in velkctl with the bus's own timestamps, not in Python."""

from velk._message import Message
from velk._recording import read_recording
from velk.bus import Bus, Subscription, Waiter
from velk.errors import ExpectTimeout, VelkError

__all__ = ["Bus", "Message", "Node", "Subscription", "Waiter", "ExpectTimeout", "VelkError", "read_recording"]
__version__ = "1.0.0"


def __getattr__(name):
    # velk.Node on first use: `python -m velk.node` then runs the module once, as itself.
    if name == "Node":
        from velk.node import Node
        return Node
    raise AttributeError("module 'velk' has no attribute %r" % name)

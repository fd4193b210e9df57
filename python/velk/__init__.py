"""Bench tests of devices on the VELK bus, through `velkctl session`.

    with velk.Bus(bus="RIG1", signals="rig.toml") as bus:
        w = bus.expect("pump.state", eq="RUNNING", within=2.0)
        bus.post("pump.command", "START")
        m = w.wait()

Timing is done in velkctl with the bus's own timestamps, not in Python."""

from velk._message import Message
from velk.bus import Bus, Subscription, Waiter
from velk.errors import ExpectTimeout, VelkError

__all__ = ["Bus", "Message", "Subscription", "Waiter", "ExpectTimeout", "VelkError"]
__version__ = "1.0.0"

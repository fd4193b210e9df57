"""A stand-in for `velkctl session` speaking its protocol over a pretend bus,
to test the client's side of it: posted values come back as messages."""

import json
import os
import sys
import threading
import time

VALUES = {}        # code -> value, the last posted
POSTED = []        # every post, as messages
VARIABLES = [0] * 64
SUBSCRIPTIONS = []
started = time.monotonic()


def message(code, value):
    return {"t": "%.6f" % (time.monotonic() - started), "code": code, "kind": "value", "value": value}


def answer(request, **fields):
    sys.stdout.write(json.dumps(dict(id=request.get("id"), ok=True, **fields)) + "\n")


def refuse(request, number, why):
    sys.stdout.write(json.dumps({"id": request.get("id"), "ok": False, "error": "line %d: %s" % (number, why)}) + "\n")


def plot(arguments):
    """velkctl plot's stand-in: an SVG that says what it was asked and how many messages it was given."""
    out = arguments[arguments.index("--out") + 1]
    with open(arguments[1]) as recording:
        lines = [line for line in recording if not line.startswith("#")]
    with open(out, "w") as svg:
        svg.write('<?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg"><desc>%s</desc><desc>%d messages'
                  '</desc></svg>\n' % (" ".join(arguments).replace("&", "&amp;").replace("<", "&lt;"), len(lines)))
    return 0


def main():
    if sys.argv[1:2] == ["plot"]:
        return plot(sys.argv[1:])
    if sys.argv[1:2] == ["--version"]:
        print("velkctl 9.9 (fake)")
        return 0
    if os.environ.get("VELK_FAKE_NO_BUS"):
        sys.stderr.write("velkctl: no bus 'RIG9' is running\n")
        return 2
    time.sleep(float(os.environ.get("VELK_FAKE_SLOW_START", "0")))   # a cold start
    if os.environ.get("VELK_FAKE_DIE"):   # killed after so many seconds, saying nothing
        threading.Timer(float(os.environ["VELK_FAKE_DIE"]), os._exit, (3,)).start()
    for number, line in enumerate(sys.stdin, 1):
        try:
            request = json.loads(line)
        except ValueError:
            sys.stdout.write(json.dumps({"id": None, "ok": False, "error": "line %d: not JSON" % number}) + "\n")
            continue
        op = request.get("op")
        if op == "counters":
            answer(request, counters={"posted": len(VALUES)})
        elif op == "post":
            VALUES[request["code"]] = request["value"]
            POSTED.append(message(request["code"], request["value"]))
            if os.environ.get("VELK_FAKE_ODD_LINES"):   # lines of other shapes, before the answer
                sys.stdout.write('[1]\n{"id":"x","ok":true}\n{"ev":"msg","sub":1}\nnot json\n')
            answer(request)
            for value in range(1, int(os.environ.get("VELK_FAKE_BURST", "0")) + 1):   # a flood to every subscriber
                for sub in range(1, len(SUBSCRIPTIONS) + 1):
                    sys.stdout.write(json.dumps(dict(ev="msg", sub=sub, **message("20000801", value))) + "\n")
        elif op == "recent":
            answer(request, msgs=POSTED[-request.get("max", 100):])
        elif op == "expect":
            words = request["match"].split()
            code = words[0]
            last = VALUES.get(code)
            if any(c not in "0123456789abcdef" for c in code):
                sys.stdout.write(json.dumps({"id": request["id"], "ok": False, "error": "line %d: \"match\" '%s': at "
                                             "column 1: no signal '%s'" % (number, request["match"], code)}) + "\n")
            elif last is not None and (len(words) == 1 or (words[1] == "eq" and last == int(words[2]))):
                answer(request, matched=True, msg=message(code, last))
            elif last is not None:
                answer(request, matched=False, seen=1, last=message(code, last))
            else:
                answer(request, matched=False, seen=0)
        elif op == "var-set":
            VARIABLES[request["index"]] = request["value"]
            answer(request)
        elif op == "var-get":
            answer(request, index=request["index"], value=VARIABLES[request["index"]])
        elif op == "rate" and request.get("signal") == "pump.status":   # a message's name, not a signal's
            refuse(request, number, "no signal 'pump.status'")
        elif op == "rate":
            answer(request, count=101, hz=49.5, span=2.0, over=2.0)
        elif op == "describe" and request["message"] == "pump.status":
            answer(request, code="30000401", kind="array", period=0.1, running=False, signals=[])
        elif op == "describe":
            refuse(request, number, "no message '%s'" % request["message"])
        elif op == "send":
            answer(request)
        elif op == "subscribe":
            SUBSCRIPTIONS.append(request.get("code"))
            sub = len(SUBSCRIPTIONS)
            sys.stdout.write(json.dumps(dict(ev="msg", sub=sub, **message("20000801", 7))) + "\n")
            answer(request, sub=sub)
        elif op == "quit":
            answer(request)
            return 0
        else:
            refuse(request, number, "unknown op '%s'" % op)
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""A stand-in for `velkctl session` speaking its protocol over a pretend bus,
to test the client's side of it: posted values come back as messages."""

import json
import os
import sys
import time

VALUES = {}        # code -> value, the last posted
VARIABLES = [0] * 64
started = time.monotonic()


def message(code, value):
    return {"t": "%.6f" % (time.monotonic() - started), "code": code, "kind": "value", "value": value}


def answer(request, **fields):
    sys.stdout.write(json.dumps(dict(id=request.get("id"), ok=True, **fields)) + "\n")


def main():
    if os.environ.get("VELK_FAKE_NO_BUS"):
        sys.stderr.write("velkctl: no bus 'RIG9' is running\n")
        return 2
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
            if os.environ.get("VELK_FAKE_ODD_LINES"):   # lines of other shapes, before the answer
                sys.stdout.write('[1]\n{"id":"x","ok":true}\n{"ev":"msg","sub":1}\nnot json\n')
            answer(request)
        elif op == "expect":
            code, verb, value = request["match"].split()
            last = VALUES.get(code)
            if last is not None and verb == "eq" and last == int(value):
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
        elif op == "rate":
            answer(request, count=101, hz=49.5, span=2.0, over=2.0)
        elif op == "subscribe":
            sys.stdout.write(json.dumps(dict(ev="msg", sub=1, **message("20000801", 7))) + "\n")
            answer(request, sub=1)
        elif op == "quit":
            answer(request)
            return 0
        else:
            sys.stdout.write(json.dumps({"id": request.get("id"), "ok": False,
                                         "error": "line %d: unknown op '%s'" % (number, op)}) + "\n")
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())

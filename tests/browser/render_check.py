#!/usr/bin/env python3
"""Opens an HTML page in headless Chromium and says whether it renders cleanly.

    render_check.py PAGE.html [--screenshot OUT.png] [--width 1280]

Exit status 0 when the page loads, logs no error (console errors, uncaught
exceptions, failed loads) and asks for nothing beyond the file itself and
data: addresses (a report must open from a mail attachment, offline).
Otherwise it prints what went wrong and exits 1; 2 when Chromium cannot be
started. It talks to Chromium over the DevTools pipe (fds 3 and 4), so it
needs nothing but the Python standard library and /usr/bin/chromium.
"""
import argparse
import base64
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

TIMEOUT_S = 60          # the whole check, start to close
SETTLE_S = 0.5          # after the load event, for late errors
MAX_HEIGHT = 8000       # screenshot height bound, in CSS pixels

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
    "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--disable-extensions", "--mute-audio",
    "--hide-scrollbars", "--remote-debugging-pipe",
]


class Browser:
    """One Chromium over the DevTools pipe; commands are answered in order."""

    def __init__(self, chromium, profile):
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()

        def pipes_at_3_and_4():
            # Move both ends clear of 3 and 4 first, so neither dup2 clobbers the other.
            r, w = os.dup(to_child_r) + 10, os.dup(from_child_w) + 10
            os.dup2(to_child_r, r)
            os.dup2(from_child_w, w)
            os.dup2(r, 3)
            os.dup2(w, 4)

        self._proc = subprocess.Popen(
            [chromium, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, preexec_fn=pipes_at_3_and_4,
            close_fds=False)
        os.close(to_child_r)
        os.close(from_child_w)
        self._next_id = 0
        self._buffer = b""
        self.events = []

    def send(self, method, params=None, session=None, deadline=None):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self._to_child, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._read(deadline)
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error'].get('message')}")
                return reply.get("result", {})
            if "method" in reply:
                self.events.append(reply)

    def wait_for(self, method, deadline):
        while True:
            for event in self.events:
                if event["method"] == method:
                    return
            self.events.append(self._read(deadline))

    def drain(self, until):
        try:
            while True:
                self.events.append(self._read(until))
        except TimeoutError:
            pass

    def _read(self, deadline):
        while b"\0" not in self._buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self._from_child], [], [], left)[0]:
                raise TimeoutError("Chromium did not answer in time")
            chunk = os.read(self._from_child, 1 << 20)
            if not chunk:
                raise RuntimeError("Chromium closed the pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def close(self):
        try:
            os.write(self._to_child, json.dumps(
                {"id": 0, "method": "Browser.close", "params": {}}).encode() + b"\0")
        except OSError:
            pass
        try:
            self._proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._proc.kill()
            self._proc.wait()
        os.close(self._to_child)
        os.close(self._from_child)


def problems_in(events, page_url):
    """The errors and outside requests among the page's DevTools events."""
    found = []
    for event in events:
        method, params = event["method"], event.get("params", {})
        if method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description") or details.get("text")
            found.append(f"uncaught exception: {text}")
        elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            args = " ".join(str(a.get("value", a.get("description", ""))) for a in params.get("args", []))
            found.append(f"console.{params['type']}: {args}")
        elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
            found.append(f"log error: {params['entry'].get('text')} {params['entry'].get('url', '')}".rstrip())
        elif method == "Network.requestWillBeSent":
            url = params["request"]["url"]
            if url != page_url and not url.startswith(("data:", "about:")):
                found.append(f"asks for something outside the file: {url}")
    return found


def check(page, screenshot, width, chromium):
    page_url = "file://" + os.path.abspath(page)
    deadline = time.monotonic() + TIMEOUT_S
    with tempfile.TemporaryDirectory(prefix="render-check-") as profile:
        browser = Browser(chromium, profile)
        try:
            target = browser.send("Target.createTarget", {"url": "about:blank"}, deadline=deadline)
            session = browser.send("Target.attachToTarget",
                                   {"targetId": target["targetId"], "flatten": True},
                                   deadline=deadline)["sessionId"]
            for domain in ("Page", "Runtime", "Log", "Network"):
                browser.send(f"{domain}.enable", session=session, deadline=deadline)
            browser.send("Emulation.setDeviceMetricsOverride",
                         {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": False},
                         session=session, deadline=deadline)
            browser.events.clear()
            navigated = browser.send("Page.navigate", {"url": page_url}, session=session, deadline=deadline)
            if navigated.get("errorText"):
                return [f"did not load: {navigated['errorText']}"]
            browser.wait_for("Page.loadEventFired", deadline)
            browser.drain(min(deadline, time.monotonic() + SETTLE_S))
            found = problems_in(browser.events, page_url)
            if screenshot:
                size = browser.send("Page.getLayoutMetrics", session=session, deadline=deadline)["cssContentSize"]
                height = max(1, min(MAX_HEIGHT, int(size["height"])))
                browser.send("Emulation.setDeviceMetricsOverride",
                             {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False},
                             session=session, deadline=deadline)
                shot = browser.send("Page.captureScreenshot", {"format": "png"}, session=session, deadline=deadline)
                with open(screenshot, "wb") as out:
                    out.write(base64.b64decode(shot["data"]))
            return found
        finally:
            browser.close()


def main():
    parser = argparse.ArgumentParser(description="Render an HTML page in headless Chromium and report its errors.")
    parser.add_argument("page")
    parser.add_argument("--screenshot", metavar="OUT.png")
    parser.add_argument("--width", type=int, default=1280)
    parser.add_argument("--chromium", default=shutil.which("chromium") or "/usr/bin/chromium")
    args = parser.parse_args()
    if not os.path.isfile(args.page):
        print(f"render_check: no such page: {args.page}", file=sys.stderr)
        return 1
    try:
        found = check(args.page, args.screenshot, args.width, args.chromium)
    except (OSError, RuntimeError, TimeoutError) as error:
        print(f"render_check: {args.page}: {error}", file=sys.stderr)
        return 2
    for problem in found:
        print(f"render_check: {args.page}: {problem}", file=sys.stderr)
    if not found:
        print(f"render_check: {args.page}: renders without errors")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

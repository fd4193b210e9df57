#!/usr/bin/env python3
"""render_check.py must pass a clean page and fail each kind of broken one."""
import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "render_check.py")

PAGES = {
    "clean": ("<!doctype html><meta charset=utf-8><h1>报告 Report</h1>"
              "<img src='data:image/svg+xml,<svg xmlns=\"http://www.w3.org/2000/svg\"/>'>"
              "<script>document.body.append('ok')</script>", 0, None),
    "exception": ("<!doctype html><script>notDefined()</script>", 1, "uncaught exception"),
    "console": ("<!doctype html><script>console.error('bad')</script>", 1, "console.error: bad"),
    "outside": ("<!doctype html><link rel=stylesheet href='http://127.0.0.1:9/x.css'>", 1,
                "asks for something outside the file"),
}


def main():
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        for name, (html, want_status, want_text) in PAGES.items():
            page = os.path.join(folder, name + ".html")
            with open(page, "w", encoding="utf-8") as out:
                out.write(html)
            shot = os.path.join(folder, name + ".png")
            run = subprocess.run([sys.executable, CHECK, page, "--screenshot", shot],
                                 capture_output=True, text=True, timeout=120)
            if run.returncode != want_status:
                failures.append(f"{name}: exit {run.returncode}, wanted {want_status}: {run.stderr}")
            elif want_text and want_text not in run.stderr:
                failures.append(f"{name}: no '{want_text}' in: {run.stderr}")
            elif want_status == 0 and not open(shot, "rb").read(8).startswith(b"\x89PNG"):
                failures.append(f"{name}: the screenshot is not a PNG")
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

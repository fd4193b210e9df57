#!/usr/bin/env bash
# The pictures of docs/views.md, taken under Wine on a virtual display:
# velkscope drawing a recorded session as it is replayed, velkctl top in a
# Wine console window beside it, and velkctl plot's SVG of the recording.
# Installs what it needs first. Usage: scripts/views-screenshots.sh [FOLDER]
# (default docs/); writes views-velkscope.png, views-top.png, views-plot.svg.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-corvane-shots}"   # its own, apart from the tests'
. scripts/wine-env.sh
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j2 --target velk velkctl velkscope
corvane_wine_prefix
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"
work=$(mktemp -d /tmp/corvane-views-XXXXXX)
trap 'rm -rf "$work"' EXIT

# Ten seconds of a bench: a depth that swings, a counter that climbs and
# drops out for a second, an A/D reading with one spike, an array status
# byte and a text status.
python3 - "$work/session.txt" <<'PY'
import math, sys
lines = ["# velk record 1", "# start 2026-12-08T09:12:03.000Z"]
for i in range(1000):
    t = i / 100
    lines.append("%.6f 20000801 V %d" % (t, round(800 * math.sin(t * 1.3) + 150 * math.sin(t * 7))))
    if not 5.0 <= t < 6.0:
        lines.append("%.6f 20008002 V %d" % (t, i * 2 - 600))
    if i % 4 == 0:
        lines.append("%.6f 20001003 V %d" % (t, 1900 if i == 612 else 300 + (i // 250) * 120))
    if i % 50 == 0:
        lines.append("%.6f 30000404 A %02x0000" % (t, 40 + (i // 50) * 20))
        lines.append("%.6f 30000205 S %s" % (t, ("pump %s, step %d" % ("on" if i % 100 else "off", i // 50)).encode().hex()))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

export VELK_BUS_NAME="views-$$" SESSION="$work/session.txt" OUT="$out"
xvfb-run -a -s '-screen 0 1600x1200x24' bash -c '
    set -euo pipefail
    cd build/mingw-x86_64/bin
    session="Z:$(printf "%s" "$SESSION" | tr / "\\\\")"
    window() { for _ in $(seq 100); do id=$(xdotool search --name "$1" 2>/dev/null | head -n 1); [ -n "$id" ] && { echo "$id"; return; }; sleep 0.2; done; }

    "$CORVANE_WINE" velkscope.exe --code 20000801 --code 20008002 --code 20001003 --code 30000404 --window 10s &
    scope=$(window "^velkscope")
    "$CORVANE_WINE" wineconsole velkctl.exe top --interval 500ms &
    console=$(window "velkctl")
    xdotool windowmove "$console" 0 700
    sleep 2   # both on the bus
    "$CORVANE_WINE" velkctl.exe replay "$session" >/dev/null
    sleep 0.3
    import -window "$scope" "$OUT/views-velkscope.png"
    import -window "$console" "$OUT/views-top.png"
    "$CORVANE_WINE" velkctl.exe plot "$session" --code 20000801 --code 20008002 --code 20001003 --code 30000404 \
        --title "bench session, 10 s" --out "Z:$(printf "%s" "$OUT/views-plot.svg" | tr / "\\\\")"
    wineserver -k 2>/dev/null || true
'
echo "pictures written to $out: views-velkscope.png views-top.png views-plot.svg"

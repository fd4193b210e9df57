#!/usr/bin/env bash
# The pictures of docs/views.md and docs/signals.md, taken under Wine on a
# virtual display: velkscope drawing a recorded session as it is replayed,
# velkctl top in a Wine console window beside it, and velkctl plot's SVG of
# the recording; then the same three views of a recording of the example
# rig (docs/signals-example.toml) read through that signal file, by name
# and in physical units; then velkpanel on that rig: its automatic panel and
# the worked panel file (docs/panel-example.toml), as the recording is
# replayed. Then velkscope as the analysis window, each view opened from a
# workspace: the session with two cursors and their readout, the rig's
# signals in two panes, and two logs of one run aligned. Installs what it
# needs first.
# Usage: scripts/views-screenshots.sh [FOLDER] (default docs/); writes
# views-velkscope.png, views-top.png, views-plot.svg, signals-velkscope.png,
# signals-top.png, signals-plot.svg, panels-automatic.png, panels-file.png,
# views-analysis.png, views-panes.png and views-compare.png.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-corvane-shots}"   # its own, apart from the tests'
. scripts/wine-env.sh
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j2 --target velk velkctl velkscope velkpanel
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
        lines.append("%.6f 30000404 A %02x0000" % (t, (40 + (i // 50) * 10) & 0xFF))
        lines.append("%.6f 30000205 S %s" % (t, ("pump %s, step %d" % ("on" if i % 100 else "off", i // 50)).encode().hex()))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

# Ten seconds of the example rig starting up, in its codes and payloads
# (docs/signals.md): the motor's speed every 100 ms (raw = rpm x 4) climbing
# to about 1480 rpm, its state every 500 ms (STOPPED, STARTING, RUNNING at
# 1400 rpm), the pump's 6-byte status every 200 ms (byte 0: the mode in
# bits 0-3, auto from 1.5 s, the valve in bit 4, open from 2 s; bytes 1-2:
# temperature in 0.1 degC, 12 bits little-endian; bytes 3-4: pressure in
# 0.01 bar, big-endian) with the pressure building to about 2.4 bar, and the
# controller's status line in GBK every second and on each change.
python3 - "$work/rig.txt" <<'PY'
import math, sys
lines = ["# velk record 1", "# start 2026-12-09T10:37:28.000Z"]
def rpm(t):
    ramp = 0.0 if t < 1.0 else 1 - math.exp(-(t - 1.0) / 1.1)
    return ramp * (1480 + 1.5 * math.sin(t * 11))
def state(t):
    return 0 if t < 1.0 else 1 if rpm(t) < 1400 else 2
def text(t):
    return ["待机 standby", "启动 starting", "运行 running"][state(t)]
shown = None
for i in range(1000):
    t = i / 100
    if i % 10 == 0:
        lines.append("%.6f 20001001 V %d" % (t, round(rpm(t) * 4)))
    if i % 50 == 2:
        lines.append("%.6f 20001002 V %d" % (t, state(t)))
    if i % 20 == 5:
        mode = 2 if t >= 1.5 else 0
        valve = 1 if t >= 2.0 else 0
        temperature = round((31 + 7.5 * (1 - math.exp(-max(0.0, t - 1.0) / 4))) * 10) & 0xFFF
        pressure = 0.0 if t < 2.0 else 2.42 * (1 - math.exp(-(t - 2.0) / 0.6)) + 0.03 * math.sin(t * 5)
        pressure = max(0, round(pressure * 100))
        status = bytes([mode | valve << 4, temperature & 0xFF, temperature >> 8, pressure >> 8, pressure & 0xFF, 0])
        lines.append("%.6f 30000401 A %s" % (t, status.hex()))
    if i % 100 == 7 or (i % 10 == 7 and text(t) != shown):
        shown = text(t)
        lines.append("%.6f 30000201 S %s" % (t, shown.encode("gbk").hex()))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

# The same session as a second rig logged it at the same time: its clock
# 1.5 s later and 0.35 s fast, the depth a little off, the spike missing.
python3 - "$work/session-b.txt" <<'PY'
import math, sys
lines = ["# velk record 1", "# start 2026-12-08T09:12:04.850Z"]
for i in range(1000):
    s = i / 100           # the true time, since the first rig's start
    t = s - 1.5           # on this rig's own count, from its start
    if t < 0:
        continue
    lines.append("%.6f 20000801 V %d" % (t, round(780 * math.sin(s * 1.3) + 150 * math.sin(s * 7) + 40)))
    if i % 4 == 0:
        lines.append("%.6f 20001003 V %d" % (t, 300 + (i // 250) * 120))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY

# The workspaces the analysis pictures open: paths beside them.
cp docs/signals-example.toml "$work/"
cat > "$work/analysis.toml" <<'TOML'
[[recording]]
path = "session.txt"
[view]
from = 4.5
to = 8.0
[cursors]
a = 5.40
b = 6.20
[[pane]]
[[pane.trace]]
recording = 1
code = "20000801"
[[pane.trace]]
recording = 1
code = "20008002"
[[pane.trace]]
recording = 1
code = "20001003"
[[pane.trace]]
recording = 1
code = "30000205"
TOML
cat > "$work/panes.toml" <<'TOML'
signals = "signals-example.toml"
[[recording]]
path = "rig.txt"
[view]
from = 0.0
to = 9.9
[cursors]
a = 1.0
b = 2.6
[[pane]]
[[pane.trace]]
recording = 1
code = "20001001"
signal = "motor.speed"
colour = 1
[[pane.trace]]
recording = 1
code = "30000201"
colour = 8
[[pane]]
[[pane.trace]]
recording = 1
code = "30000401"
signal = "pump.status.pressure"
colour = 2
[[pane]]
[[pane.trace]]
recording = 1
code = "20001002"
signal = "motor.state"
colour = 3
[[pane.trace]]
recording = 1
code = "30000401"
signal = "pump.status.valve"
colour = 5
TOML
cat > "$work/compare.toml" <<'TOML'
[[recording]]
path = "session.txt"
[[recording]]
path = "session-b.txt"
offset = -0.35
[view]
from = 0.0
to = 10.0
[cursors]
a = 3.00
b = 4.20
[[pane]]
[[pane.trace]]
recording = 1
code = "20000801"
colour = 1
[[pane.trace]]
recording = 2
code = "20000801"
colour = 4
[[pane]]
[[pane.trace]]
recording = 1
code = "20001003"
colour = 3
[[pane.trace]]
recording = 2
code = "20001003"
colour = 2
TOML

export VELK_BUS_NAME="views-$$" SESSION="$work/session.txt" RIG="$work/rig.txt" OUT="$out" WORK="$work"
export SIGNALS="$PWD/docs/signals-example.toml" PANEL="$PWD/docs/panel-example.toml"
xvfb-run -a -s '-screen 0 1600x1200x24' bash -c '
    set -euo pipefail
    cd build/mingw-x86_64/bin
    # The console window in a font of even cells, 100 columns by 16 rows.
    # (On this display: a Wine process started off it would own the desktop.)
    "$CORVANE_WINE" reg add "HKCU\\Console" /v FaceName /d "WenQuanYi Zen Hei Mono" /f >/dev/null 2>&1
    "$CORVANE_WINE" reg add "HKCU\\Console" /v ScreenSize /t REG_DWORD /d 0x00100064 /f >/dev/null 2>&1
    "$CORVANE_WINE" reg add "HKCU\\Console" /v WindowSize /t REG_DWORD /d 0x00100064 /f >/dev/null 2>&1
    session="Z:$(printf "%s" "$SESSION" | tr / "\\\\")"
    rig="Z:$(printf "%s" "$RIG" | tr / "\\\\")"
    signals="Z:$(printf "%s" "$SIGNALS" | tr / "\\\\")"
    # The X window of the first Wine window titled like $1, waited for up to a minute.
    window() {
        for _ in $(seq 300); do
            id=$(xdotool search --name "$1" 2>/dev/null | head -n 1)
            [ -n "$id" ] && { echo "$id"; return 0; }
            sleep 0.2
        done
        echo "views-screenshots.sh: no window titled $1 came up" >&2
        return 1
    }

    # One at a time: the window system knows only where Wine put a window.
    "$CORVANE_WINE" velkscope.exe --code 20000801 --code 20008002 --code 20001003 --code 30000404 --window 10s &
    scope=$(window "^velkscope") || exit 1
    sleep 2   # on the bus
    "$CORVANE_WINE" velkctl.exe replay "$session" >/dev/null
    sleep 0.3
    import -window "$scope" "$OUT/views-velkscope.png"
    wineserver -k 2>/dev/null || true

    "$CORVANE_WINE" wineconsole velkctl.exe top --interval 500ms &
    console=$(window "^velkctl top - ") || exit 1   # the console, as top titles it
    sleep 2
    "$CORVANE_WINE" velkctl.exe replay "$session" >/dev/null
    sleep 0.3
    import -window "$console" "$OUT/views-top.png"
    wineserver -k 2>/dev/null || true

    "$CORVANE_WINE" velkctl.exe plot "$session" --code 20000801 --code 20008002 --code 20001003 --code 30000404 \
        --title "bench session, 10 s" --out "Z:$(printf "%s" "$OUT/views-plot.svg" | tr / "\\\\")"
    wineserver -k 2>/dev/null || true

    # The rig, by its signal file. Its pictures are taken just before the
    # replay ends: a code silent for twice its period (200 ms for the
    # speed) is marked late, as it would be once the replay is over.
    # velkscope draws the pump starting, on one scale: the valve opening and
    # the pressure in bar (the speed, in the list, would flatten them).
    "$CORVANE_WINE" velkscope.exe --signals "$signals" --signal pump.status.pressure --signal pump.status.valve --window 10s &
    scope=$(window "^velkscope") || exit 1
    sleep 2
    "$CORVANE_WINE" velkctl.exe replay "$rig" >/dev/null &
    replay=$!
    sleep 9.5   # of the 9.9 s the rig takes
    import -window "$scope" "$OUT/signals-velkscope.png"
    wait "$replay"
    wineserver -k 2>/dev/null || true

    "$CORVANE_WINE" wineconsole velkctl.exe top --interval 500ms --signals "$signals" &
    console=$(window "^velkctl top - ") || exit 1
    sleep 2
    "$CORVANE_WINE" velkctl.exe replay "$rig" >/dev/null &
    replay=$!
    sleep 9.5
    import -window "$console" "$OUT/signals-top.png"
    wait "$replay"
    wineserver -k 2>/dev/null || true

    "$CORVANE_WINE" velkctl.exe plot "$rig" --signals "$signals" --signal motor.speed \
        --title "example rig: motor speed, 10 s" --out "Z:$(printf "%s" "$OUT/signals-plot.svg" | tr / "\\\\")"
    wineserver -k 2>/dev/null || true

    # velkpanel on the rig, as the replay ends: its automatic panel, then
    # the worked panel file (it names the signal file beside it). Found by
    # its class: a title in Chinese is not one the X name search reads.
    panel_window() {
        for _ in $(seq 300); do
            id=$(xdotool search --onlyvisible --class "velkpanel" 2>/dev/null | head -n 1)
            [ -n "$id" ] && { echo "$id"; return 0; }
            sleep 0.2
        done
        echo "views-screenshots.sh: no velkpanel window came up" >&2
        return 1
    }
    panelfile="Z:$(printf "%s" "$PANEL" | tr / "\\\\")"
    for shot in automatic file; do
        if [ "$shot" = automatic ]; then
            "$CORVANE_WINE" velkpanel.exe --signals "$signals" &
        else
            "$CORVANE_WINE" velkpanel.exe --panel "$panelfile" &
        fi
        panel=$(panel_window) || exit 1
        sleep 2
        "$CORVANE_WINE" velkctl.exe replay "$rig" >/dev/null &
        replay=$!
        sleep 9.5
        import -window "$panel" "$OUT/panels-$shot.png"
        wait "$replay"
        wineserver -k 2>/dev/null || true
    done
    # velkscope as the analysis window, each view from its workspace, the
    # window made larger first by dragging its corner (Wine draws the frame
    # itself here: no window manager).
    for view in analysis panes compare; do
        "$CORVANE_WINE" velkscope.exe --workspace "Z:$(printf "%s" "$WORK/$view.toml" | tr / "\\\\")" &
        scope=$(window "^velkscope - ") || exit 1
        sleep 1
        eval "$(xdotool getwindowgeometry --shell "$scope")"
        xdotool mousemove --window "$scope" $((WIDTH - 3)) $((HEIGHT - 3)) mousedown 1
        sleep 0.3
        xdotool mousemove --window "$scope" 1000 700
        sleep 0.3
        xdotool mousemove --window "$scope" 1276 856
        sleep 0.3
        xdotool mouseup 1
        sleep 3   # read, laid out and drawn
        import -window "$scope" "$OUT/views-$view.png"
        wineserver -k 2>/dev/null || true
    done
'
echo "pictures written to $out: views-velkscope.png views-top.png views-plot.svg signals-velkscope.png signals-top.png signals-plot.svg panels-automatic.png panels-file.png views-analysis.png views-panes.png views-compare.png"

#!/usr/bin/env bash
# The release zips as a user gets them: each one's contents (the examples
# docs/python.md runs among them) and export list
# checked, its Python wheel installed offline and imported, then unpacked
# into an empty folder and run from there under Wine in a fresh prefix, with
# nothing but what the zip holds: velkctl --help, signals check of the
# example signal file, a monitor that receives a post, corvane.exe on the
# bus until it closes, velkscope.exe on the bus, sent a value, until it
# closes, and velkpanel.exe on the example panel, its cyclic send seen by a
# monitor, until it closes.
# Needs a display (xvfb-run). Usage: tests/package/smoke.sh ZIP...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
[ $# -gt 0 ] || { echo "usage: smoke.sh ZIP..." >&2; exit 2; }

failures=0
fail() { echo "FAIL $zip: $*" >&2; failures=$((failures + 1)); }

# Runs a program of the package from its folder; the rest of the line are its arguments.
in_package() { (cd "$folder" && "$CORVANE_WINE" "$@"); }

client_lines() { in_package velkctl.exe clients | tr -d '\r'; }
lists_console() { client_lines | grep -Eq '^[0-9a-f]+ [0-9a-f]+ test [0-9]+$'; }
no_clients() { [ -z "$(client_lines)" ]; }
console_window() { xdotool search --name '^VELK\(' 2>/dev/null | head -n 1; }
scope_window() { xdotool search --name '^velkscope' 2>/dev/null | head -n 1; }
lists_scope() { client_lines | grep -Eq '^[0-9a-f]+ [0-9a-f]+ velkscope [0-9]+$'; }
lists_panel() { client_lines | grep -Eq '^[0-9a-f]+ [0-9a-f]+ velkpanel [0-9]+$'; }

check_contents() {
    local top=$1 listed expected
    listed=$(cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')
    expected=$( (printf "$top/%s\n" LICENSE.txt LICENSE-zlib.txt README.txt corvane.exe velk.dll velkctl.exe velkscope.exe velkpanel.exe \
                 signals-example.toml panel-example.toml rig-example.dbc rig-matrix.csv "$wheel"
                 (cd "$here/../../docs" && ls *.md *.png *.svg | sed "s|^|$top/docs/|")
                 cd "$here/../../python/examples" && ls *.py | sed "s|^|$top/examples/|") | LC_ALL=C sort | tr '\n' ' ')
    [ "$listed" = "$expected" ] || fail "holds $listed; expected $expected"
    for text in README.txt LICENSE.txt LICENSE-zlib.txt; do
        local file=$work/$top/$text lines crlf
        [ -s "$file" ] || { fail "$text is missing or empty"; continue; }
        lines=$(wc -l < "$file")
        crlf=$(grep -c $'\r$' "$file" || true)
        [ "$lines" = "$crlf" ] || fail "$text: $crlf of $lines lines end in CR LF"
    done
    # Notepad on a Chinese Windows reads it as UTF-8 only with the byte order mark.
    python3 - "$work/$top/README.txt" <<'CHECK' || fail "README.txt is not UTF-8 with a BOM, Chinese first, then English"
import sys
data = open(sys.argv[1], "rb").read()
text = data.decode("utf-8")
chinese, english = text.find("简体中文"), text.find("\r\nEnglish\r\n")
sys.exit(0 if data.startswith(b"\xef\xbb\xbf") and 0 < chinese < english else 1)
CHECK
    OBJDUMP=x86_64-w64-mingw32-objdump sh "$here/velk-exports.sh" "$work/$top/velk.dll" || fail "velk.dll exports"
    # zlib is linked in: no program may need a zlib1.dll the zip does not hold.
    for exe in "$work/$top"/*.exe; do
        ! x86_64-w64-mingw32-objdump -p "$exe" | grep -qi 'DLL Name: zlib' || fail "$(basename "$exe") needs a zlib DLL"
    done
    check_wheel "$work/$top/$wheel"
}

# The wheel installs offline into a folder of its own (as pip on Windows
# would: it is a Windows wheel) and imports from there, with the release's
# version, the pytest plugin's entry point, and the zip's own velkctl.exe
# and velk.dll, byte for byte, where the package finds them.
check_wheel() {
    local target=$work/python
    [ -f "$1" ] || return 0   # said missing above
    /usr/bin/python3 -m pip install -q --disable-pip-version-check --root-user-action=ignore --no-index --no-deps --no-cache-dir \
        --platform "$platform" --target "$target" "$1" || { fail "$wheel does not install offline"; return; }
    /usr/bin/python3 -I - "$target" "$wheel_version" "$(dirname "$1")" <<'CHECK' || fail "$wheel installed, but velk does not import from it with the zip's programs"
import filecmp, os, sys
sys.path.insert(0, sys.argv[1])
from importlib import metadata
import velk, velk.bus
plugins = [e.value for e in metadata.distribution("velk").entry_points if e.group == "pytest11"]
bundled = velk.bus._bundled_velkctl()
same = all(filecmp.cmp(os.path.join(os.path.dirname(bundled), name), os.path.join(sys.argv[3], name), shallow=False)
           for name in ("velkctl.exe", "velk.dll"))
sys.exit(0 if velk.__file__.startswith(sys.argv[1]) and velk.__version__ == sys.argv[2]
         and metadata.version("velk") == sys.argv[2] and plugins == ["velk.pytest_plugin"] and same else 1)
CHECK
}

run_package() {
    in_package velkctl.exe --help >/dev/null || fail "velkctl --help did not exit 0"
    in_package velkctl.exe signals check signals-example.toml >/dev/null || fail "signals-example.toml does not load"
    local version=${name#corvane-} said
    version=${version%-win*}
    said=$(in_package velkctl.exe --version | tr -d '\r')
    [ "$said" = "velkctl $version" ] || fail "velkctl --version says '$said', the zip is $version"

    # The wheel alone: velk finds the velkctl.exe it carries (no VELKCTL, none
    # on PATH) and reaches the bus through it, by the Wine loader it finds
    # runs here (none named).
    if [ -d "$work/python" ]; then
        (unset VELKCTL VELK_WINE CORVANE_WINE WINELOADER; cd "$work" && /usr/bin/python3 -I - "$work/python" <<'CHECK') \
            || fail "the installed wheel does not reach the bus through its own velkctl.exe"
import sys
sys.path.insert(0, sys.argv[1])
import velk, velk.bus
assert velk.bus.find_velkctl() == velk.bus._bundled_velkctl(), velk.bus.find_velkctl()
with velk.Bus(bus="smokewheel") as bus:
    waiter = bus.expect(0x20001001, eq=7, within=30)
    bus.post(0x20001001, 7)
    assert waiter.wait().value == 7
CHECK
    fi

    # A monitor receives a post.
    (cd "$folder" && "$CORVANE_WINE" velkctl.exe monitor 0x1000 --count 1 --timeout 60 > "$work/monitor.txt" 2>&1) &
    local monitor=$!
    if corvane_wait_for 60 eval '[ "$(client_lines | wc -l)" -eq 1 ]'; then
        in_package velkctl.exe post 0x20001001 42 >/dev/null || fail "velkctl post did not exit 0"
    else
        fail "the monitor never appeared in velkctl clients"
    fi
    wait "$monitor" || fail "velkctl monitor exited $?"
    tr -d '\r' < "$work/monitor.txt" | grep -Eq ' 20001001 +42$' \
        || fail "the monitor did not print the post: $(cat "$work/monitor.txt")"

    # corvane.exe binds the bus, is listed, and closes.
    (cd "$folder" && "$CORVANE_WINE" corvane.exe) &
    local console=$!
    local window=
    corvane_wait_for 60 eval 'window=$(console_window); [ -n "$window" ]' || fail "no window titled VELK(...)"
    if [ -n "$window" ]; then
        local title build
        title=$(xdotool getwindowname "$window")
        build=$(LC_ALL=C date -u -d "@$SOURCE_DATE_EPOCH" '+%b %e %Y')
        case "$title" in
            "VELK("*") Build($build) "*) ;;
            *) fail "title '$title' does not name velk.dll's build date $build (the commit's day)" ;;
        esac
        if corvane_wait_for 30 lists_console; then
            # Asked to close as the system asks: taskkill without /f posts WM_CLOSE.
            local pid
            pid=$(client_lines | awk '$3 == "test" { print $4; exit }')
            "$CORVANE_WINE" taskkill /pid "$pid" >/dev/null 2>&1 || fail "taskkill /pid $pid failed"
        else
            fail "velkctl clients does not list the console: $(client_lines)"
        fi
    fi
    await_exit "$console" corvane.exe

    # velkscope.exe is on the bus, receives a post and closes.
    (cd "$folder" && "$CORVANE_WINE" velkscope.exe --code 20001001) &
    local scope=$!
    corvane_wait_for 60 eval '[ -n "$(scope_window)" ]' || fail "no window titled velkscope"
    if corvane_wait_for 30 lists_scope; then
        in_package velkctl.exe post 0x20001001 42 >/dev/null || fail "velkctl post to velkscope did not exit 0"
        pid=$(client_lines | awk '$3 == "velkscope" { print $4; exit }')
        "$CORVANE_WINE" taskkill /pid "$pid" >/dev/null 2>&1 || fail "taskkill /pid $pid failed"
    else
        fail "velkctl clients does not list velkscope: $(client_lines)"
    fi
    await_exit "$scope" velkscope.exe

    # velkpanel.exe opens the example panel beside it, whose cyclic send of
    # motor.speed (every 100 ms) a monitor sees by name, and closes.
    (cd "$folder" && "$CORVANE_WINE" velkctl.exe monitor --code 20001001 --count 2 --timeout 60 \
        --signals signals-example.toml > "$work/panel.txt" 2>&1) &
    monitor=$!
    corvane_wait_for 60 eval '[ "$(client_lines | wc -l)" -eq 1 ]' || fail "the panel's monitor never appeared"
    (cd "$folder" && "$CORVANE_WINE" velkpanel.exe --panel panel-example.toml) &
    local panel=$!
    if corvane_wait_for 60 lists_panel; then
        wait "$monitor" || fail "the monitor of velkpanel's sends exited $?"
        grep -q 'motor.speed=' "$work/panel.txt" || fail "the monitor did not see velkpanel's send: $(cat "$work/panel.txt")"
        pid=$(client_lines | awk '$3 == "velkpanel" { print $4; exit }')
        "$CORVANE_WINE" taskkill /pid "$pid" >/dev/null 2>&1 || fail "taskkill /pid $pid failed"
    else
        fail "velkctl clients does not list velkpanel: $(client_lines)"
        kill "$monitor" 2>/dev/null || true
    fi
    await_exit "$panel" velkpanel.exe
}

# Waits up to 30 s for the program started as $1 to end with 0 and leave the bus.
await_exit() {
    local closed=1
    for _ in $(seq 150); do kill -0 "$1" 2>/dev/null || { closed=0; break; }; sleep 0.2; done
    if [ $closed = 0 ]; then
        wait "$1" || fail "$2 exited $?"
        no_clients || fail "the closed $2 is still listed"
    else
        fail "$2 did not close"
        kill "$1" 2>/dev/null || true
    fi
}

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct HEAD)}
for zip in "$@"; do
    zip=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
    name=$(basename "$zip" .zip)
    # The wheel carries the release's version in Python's form and the zip's width:
    # corvane-1.0.0-g1234567-dirty-win64 holds velk-1.0.0+g1234567.dirty-py3-none-win_amd64.whl.
    release=${name#corvane-}
    release=${release%-win*}
    wheel_version=${release%%-*}
    [ "$release" = "$wheel_version" ] || wheel_version="$wheel_version+$(printf '%s' "${release#*-}" | tr - .)"
    case "$name" in *-win32) platform=win32 ;; *) platform=win_amd64 ;; esac
    wheel=velk-$wheel_version-py3-none-$platform.whl
    work=$(mktemp -d /tmp/corvane-package-XXXXXX)
    (cd "$work" && cmake -E tar xf "$zip")
    folder=$work/$name
    check_contents "$name"
    case "$name" in
        *-win32) run=$CORVANE_WINE32 ;;
        *) run=1 ;;
    esac
    if [ "$run" = 1 ]; then
        export WINEPREFIX=$work/prefix
        # Made without a display, as the documents' set-up does: the programs
        # run next on the virtual one must still get windows.
        (unset DISPLAY; corvane_wine_prefix)
        run_package
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    else
        echo "note: $name not run: this kernel runs no 32-bit programs (contents and exports checked)"
    fi
    rm -rf "$work"
    echo "== $name: $([ $failures = 0 ] && echo ok || echo "$failures failures so far")"
done
[ $failures = 0 ]

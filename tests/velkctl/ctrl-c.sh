#!/usr/bin/env bash
# Ctrl+C as Wine delivers it: SIGINT to a Windows program's process becomes
# CTRL_C_EVENT (a terminal's Ctrl+C sends it). A recorder and a monitor stopped that way keep every message
# the bus gave them, print their summary, exit 0 and leave the bus (a
# simulation too, with the summary of what it sent), which a
# watch (also stopped by Ctrl+C at the end) keeps alive meanwhile. Every
# wait is bounded. Run by ctest as velkctl_ctrl_c. Usage: ctrl-c.sh BIN_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
export VELK_LANG=en   # the English lines; Chinese is tested apart
corvane_wine_prefix
[ $# = 1 ] || { echo "usage: ctrl-c.sh BIN_DIR" >&2; exit 2; }
velkctl_exe=$1/velkctl.exe
bus=velk-ctrl-c-$$   # in every command line, so the processes are found by it
work=$(mktemp -d /tmp/velk-ctrl-c-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
velkctl() { "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" "$@"; }

# Starts velkctl in the background, its output in $work/NAME.out and .err.
# Wine runs it under start.exe, which ends with velkctl's exit status: that
# process's pid goes in the variable NAME.
start() {
    local name=$1; shift
    "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" "$@" > "$work/$name.out" 2> "$work/$name.err" &
    pids+=($!)
    printf -v "$name" %s $!
}

# The Linux pid of the process that runs velkctl itself on this test's bus
# with arguments starting as given (not start.exe's).
velkctl_pid() {
    local pid
    for pid in $(pgrep -u "$(id -u)" -f -- "velkctl\.exe --bus $bus $1"); do
        case "$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null)" in
            *start.exe*|"") ;;
            *) echo "$pid"; return 0 ;;
        esac
    done
    return 1
}

clients() { velkctl clients | tr -d '\r' | grep -c . || true; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# Ctrl+C to the velkctl started as $1 with arguments matching $2; its exit
# status in $status once it has ended, 124 if it had not ended 30 s later.
interrupt() {
    local wrapper=$1 pid
    status=0
    pid=$(velkctl_pid "$2") || { fail "no process runs velkctl $2"; status=125; return; }
    pids+=("$pid")
    kill -INT "$pid"
    if corvane_wait_for 30 gone "$wrapper"; then
        wait "$wrapper" || status=$?
    else
        kill -9 "$pid" "$wrapper" 2>/dev/null || true
        status=124
    fi
}

lines_of() { tr -d '\r' < "$1" | grep -c "$2" || true; }

start holder counters --watch --interval 200ms
corvane_wait_for 60 test -s "$work/holder.out" || fail "the watch printed nothing"
start recorder record "$work/recording.txt"
start monitor monitor 0x0080FF00
corvane_wait_for 60 eval '[ "$(clients)" = 2 ]' || fail "the recorder and the monitor never both registered"

# 500 messages, every one delivered to both before the Ctrl+C.
velkctl post 0x20001001 7 --count 300 > /dev/null 2>&1 || fail "post exited $?"
velkctl send-str 3 x --count 200 > /dev/null 2>&1 || fail "send-str exited $?"

interrupt "$recorder" "record "
[ "$status" = 0 ] || fail "the recorder exited $status after Ctrl+C: $(cat "$work/recorder.err")"
grep -q "^velkctl: recorded 500 messages to .* dropped +0, expired +0" "$work/recorder.err" \
    || fail "no summary of 500 recorded messages: $(cat "$work/recorder.err")"
[ "$(lines_of "$work/recording.txt" ' 20001001 V 7$')" = 300 ] && [ "$(lines_of "$work/recording.txt" ' 30000203 S 78$')" = 200 ] \
    || fail "the recording lost lines: $(grep -vc '^#' "$work/recording.txt") message lines"

interrupt "$monitor" "monitor "
[ "$status" = 0 ] || fail "the monitor exited $status after Ctrl+C: $(cat "$work/monitor.err")"
grep -q "^velkctl: monitor stopped: 500 messages shown in " "$work/monitor.err" \
    || fail "no summary of 500 messages shown: $(cat "$work/monitor.err")"
[ "$(lines_of "$work/monitor.out" ' 20001001      7$')" = 300 ] && [ "$(lines_of "$work/monitor.out" ' 30000203\[  1\] x$')" = 200 ] \
    || fail "the monitor lost lines: $(grep -c . "$work/monitor.out") lines"

# A simulation stopped so sums up what it sent and leaves the bus too.
start simulator simulate "$here/../../docs/signals-example.toml" --only motor.status --duration 10m
corvane_wait_for 60 eval '[ "$(clients)" = 1 ]' || fail "the simulation never registered"
sleep 1
interrupt "$simulator" "simulate "
[ "$status" = 0 ] || fail "the simulation exited $status after Ctrl+C: $(cat "$work/simulator.err")"
grep -q "^velkctl: simulate: 1 message for .*, stopped" "$work/simulator.err" \
    && grep -q "^  motor.status  sent [1-9][0-9]*, overruns " "$work/simulator.err" \
    || fail "no summary of the simulation: $(cat "$work/simulator.err")"

# All left the bus the holder still keeps.
kill -0 "$holder" 2>/dev/null || fail "the watch ended by itself"
[ "$(clients)" = 0 ] || fail "still registered after Ctrl+C: $(velkctl clients)"

# A session whose reader has stalled: its output fills the pipe and then its
# bound (big string messages, about 12 MB of lines), yet one Ctrl+C ends it,
# and it says how many messages it could not write.
mkfifo "$work/session.in"
"$CORVANE_WINE" "$velkctl_exe" --bus "$bus" session < "$work/session.in" 2> "$work/session.err" | sleep 600 &
pids+=($!)
exec 7> "$work/session.in"
echo '{"id":1,"op":"subscribe","code":"00000000/00000000"}' >&7
corvane_wait_for 60 eval '[ "$(clients)" = 1 ]' || fail "the session never registered"
velkctl send-str 4 "$(head -c 4000 /dev/zero | tr '\0' x)" --count 3000 > /dev/null 2>&1 || fail "send-str exited $?"
session=$(velkctl_pid "session") || fail "no process runs velkctl session"
if [ -n "${session:-}" ]; then
    pids+=("$session")
    interrupted=$(date +%s%N)
    kill -INT "$session"
    corvane_wait_for 30 gone "$session" || fail "a session whose output is not read did not end on Ctrl+C"
    echo "the stalled session ended $(( ($(date +%s%N) - interrupted) / 1000000 )) ms after Ctrl+C"
    grep -q "^velkctl: session: standard output was not read fast enough: [1-9][0-9]* messages dropped" \
        "$work/session.err" || fail "the session did not say what it dropped: $(cat "$work/session.err")"
fi
exec 7>&-

interrupt "$holder" "counters --watch"
[ "$status" = 0 ] || fail "the watch exited $status after Ctrl+C"

[ $failures = 0 ] && echo "ok: Ctrl+C stopped a recorder, a monitor, a simulation and a watch without losing a message, and a session whose output was not read"
[ $failures = 0 ]

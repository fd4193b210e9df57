#!/usr/bin/env bash
# VELK_TRACE as docs/developing.md tells a user to switch it on: with
# WINEDEBUG=+debugstr each traced entry point of velk.dll shows one line
# (entry point, arguments, result), only the channels asked for, a refused
# call with its negative result, and nothing at all without VELK_TRACE.
# Run by ctest as velkctl_trace. Usage: trace.sh BIN_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
corvane_wine_prefix
[ $# = 1 ] || { echo "usage: trace.sh BIN_DIR" >&2; exit 2; }
velkctl_exe=$1/velkctl.exe
bus=velk-trace-$$

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The trace lines of one velkctl command run with VELK_TRACE=$1 (unset when "-").
traced() {
    local channels=$1; shift
    if [ "$channels" = - ]; then
        env -u VELK_TRACE WINEDEBUG=-all,+debugstr "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" "$@" 2>&1 >/dev/null
    else
        VELK_TRACE=$channels WINEDEBUG=-all,+debugstr "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" "$@" 2>&1 >/dev/null
    fi | tr -d '\r' | grep -o 'velk: [^"]*' || true
}

out=$(traced post post 0x20001001 7)
echo "$out" | grep -q '^velk: vPostData([0-9A-Fa-fx]*, 20001001, 0*7, 4) = 0' || fail "no vPostData line: $out"
[ "$(echo "$out" | grep -c '^velk: ')" = 1 ] || fail "channel post traced more than vPostData: $out"

out=$(traced "POST, info" post 0x20001001 7)
echo "$out" | grep -q '^velk: vPostData(' && echo "$out" | grep -q '^velk: vGetInfo(' \
    || fail "VELK_TRACE=\"POST, info\" did not trace both: $out"

out=$(traced setvar set-var 64 1)
echo "$out" | grep -q '^velk: vSetPublicVar(64, 1) = -[1-9]' || fail "no refused vSetPublicVar line: $out"

out=$(traced 1 post 0x20001001 7)
for entry in vPostData vGetInfo velkBusStatus; do
    echo "$out" | grep -q "^velk: $entry(" || fail "VELK_TRACE=1 did not trace $entry: $out"
done

out=$(traced - post 0x20001001 7)
[ -z "$out" ] || fail "traced without VELK_TRACE: $out"
out=$(traced 0 post 0x20001001 7)
[ -z "$out" ] || fail "traced with VELK_TRACE=0: $out"

[ $failures = 0 ] && echo "ok: VELK_TRACE traced the channels asked for and nothing else"
[ $failures = 0 ]

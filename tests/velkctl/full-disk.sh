#!/usr/bin/env bash
# A recording on a full disk: the first failed write ends it at once with
# exit 5 and "disk full", its summary counts the message lines really in the
# file, and the file ends at its last whole line. On /dev/full (every write
# fails) always; on a small tmpfs that fills in the middle of a write where
# this user may mount one (root), otherwise that part is skipped and says so;
# there a compressed recording too ends at its last whole member.
# Every wait is bounded. Run by ctest as velkctl_full_disk. Usage: full-disk.sh BIN_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"
corvane_wine_prefix
[ $# = 1 ] || { echo "usage: full-disk.sh BIN_DIR" >&2; exit 2; }
velkctl_exe=$1/velkctl.exe
bus=velk-full-disk-$$
work=$(mktemp -d /tmp/velk-full-disk-XXXXXX)
small=$work/small
mounted=0
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    [ $mounted = 0 ] || umount "$small" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
velkctl() { "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" "$@"; }
clients() { velkctl clients | tr -d '\r' | grep -c . || true; }
gone() { ! kill -0 "$1" 2>/dev/null; }
windows() { echo "Z:${1//\//\\}"; }

# Records to $2 with the arguments after it while 20,000 values are posted
# (about 2 s); the recorder's exit status in $status, its stderr in $work/$1.err.
record_while_posting() {
    local name=$1 path=$2; shift 2
    velkctl record "$(windows "$path")" --duration 60s "$@" > /dev/null 2> "$work/$name.err" &
    local recorder=$!
    pids+=($recorder)
    corvane_wait_for 60 eval '[ "$(clients)" = 1 ]' || fail "$name: the recorder never registered"
    started=$(date +%s)
    velkctl post 0x20000801 5 --count 20000 --every 100us > /dev/null 2>&1 || true
    status=0
    if corvane_wait_for 30 gone "$recorder"; then
        wait "$recorder" || status=$?
    else
        status=124
    fi
    took=$(( $(date +%s) - started ))
    [ "$took" -lt 30 ] || fail "$name: the recording went on after the disk was full ($took s)"
}

message_lines() { grep -vc '^#' "$1" || true; }

# /dev/full takes not even the header: refused before the recorder joins the bus.
status=0
timeout 60 "$CORVANE_WINE" "$velkctl_exe" --bus "$bus" record 'Z:\dev\full' --duration 60s > /dev/null 2> "$work/devfull.err" \
    || status=$?
[ "$status" = 5 ] || fail "/dev/full: exit $status, expected 5"
grep -q "^velkctl: cannot write 'Z:\\\\dev\\\\full': disk full" "$work/devfull.err" \
    || fail "/dev/full: no disk full: $(cat "$work/devfull.err")"

# An export whose output cannot be written says so in the same words.
printf '# velk record 1\n0.000000 20000801 V 5\n' > "$work/one.txt"
status=0
timeout 60 "$CORVANE_WINE" "$velkctl_exe" export "$(windows "$work/one.txt")" --out - > /dev/full 2> "$work/export.err" \
    || status=$?
[ "$status" = 5 ] || fail "export to /dev/full: exit $status, expected 5"
grep -q "^velkctl: export: cannot write standard output: disk full" "$work/export.err" \
    || fail "export to /dev/full: no disk full: $(cat "$work/export.err")"

if mkdir -p "$small" && mount -t tmpfs -o size=256k tmpfs "$small" 2>/dev/null; then
    mounted=1
    record_while_posting plain "$small/plain.txt"
    [ "$status" = 5 ] || fail "plain: exit $status, expected 5"
    said=$(sed -n 's/^velkctl: recorded \([0-9]*\) messages to .*/\1/p' "$work/plain.err")
    [ -n "$said" ] && [ "$said" -gt 1000 ] && [ "$said" = "$(message_lines "$small/plain.txt")" ] \
        || fail "plain: said $said, the file holds $(message_lines "$small/plain.txt"): $(cat "$work/plain.err")"
    grep -q "disk full; .* not written, the recording stopped" "$work/plain.err" || fail "plain: $(cat "$work/plain.err")"
    [ "$(tail -c 1 "$small/plain.txt" | od -An -c | tr -d ' ')" = '\n' ] || fail "plain: the file ends inside a line"
    rm -f "$small/plain.txt"

    record_while_posting triggered "$small/triggered.txt" --trigger "20000801 eq 5" --pre 1s --post 60s
    [ "$status" = 5 ] || fail "triggered: exit $status, expected 5"
    said=$(sed -n 's/.*; wrote \([0-9]*\) message lines; .*/\1/p' "$work/triggered.err")
    [ -n "$said" ] && [ "$said" -gt 1000 ] && [ "$said" = "$(message_lines "$small/triggered.txt")" ] \
        || fail "triggered: said $said, the file holds $(message_lines "$small/triggered.txt"): $(cat "$work/triggered.err")"
    grep -q "disk full; .* of its window not written, the recording stopped" "$work/triggered.err" \
        || fail "triggered: $(cat "$work/triggered.err")"
    [ "$(tail -c 1 "$small/triggered.txt" | od -An -c | tr -d ' ')" = '\n' ] || fail "triggered: the file ends inside a line"
    rm -f "$small/triggered.txt"

    # In parts of a second: the part being written when the disk fills ends
    # at its last whole line, and the summary counts what all parts hold.
    record_while_posting split "$small/split.txt" --split 1s
    [ "$status" = 5 ] || fail "split: exit $status, expected 5"
    said=$(sed -n 's/^velkctl: recorded \([0-9]*\) messages to .*/\1/p' "$work/split.err")
    held=$(cat "$small"/split-*.txt | grep -vc '^#' || true)
    [ -n "$said" ] && [ "$said" -gt 1000 ] && [ "$said" = "$held" ] \
        || fail "split: said $said, the parts hold $held: $(cat "$work/split.err")"
    for part in "$small"/split-*.txt; do
        [ "$(tail -c 1 "$part" | od -An -c | tr -d ' ')" = '\n' ] || fail "split: $part ends inside a line"
    done
    rm -f "$small"/split-*.txt

    # Compressed, the 20,000 values take about 80 KiB: a filler leaves 48,
    # room for some members, not all. The file ends at a whole member and
    # holds what was said.
    head -c $((256 - 48))k /dev/zero > "$small/filler" 2>/dev/null || true
    record_while_posting compressed "$small/compressed.txt.gz"
    [ "$status" = 5 ] || fail "compressed: exit $status, expected 5"
    said=$(sed -n 's/^velkctl: recorded \([0-9]*\) messages to .*/\1/p' "$work/compressed.err")
    held=$(gzip -dc "$small/compressed.txt.gz" | grep -vc '^#' || true)
    [ -n "$said" ] && [ "$said" = "$held" ] \
        || fail "compressed: said $said, the file holds $held: $(cat "$work/compressed.err")"
    gzip -t "$small/compressed.txt.gz" 2>/dev/null || fail "compressed: the file ends inside a member"
else
    echo "full-disk.sh: cannot mount a tmpfs here (not root?): the part where the disk fills mid-write was not run"
fi

[ $failures = 0 ] && echo "ok: a full disk ended each recording at once, with exit 5, true counts and whole lines"
[ $failures = 0 ]

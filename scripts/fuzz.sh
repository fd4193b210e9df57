#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang's libFuzzer (AddressSanitizer,
# UBSan, leak checks) and runs each one for a bounded time over its seed corpus.
# Fails on a crash, a leak, a timeout or a broken property; the input that did
# it is copied to tests/fuzz/regressions/<target>/, which the native suite runs.
#
#   scripts/fuzz.sh                   every target 15 s (CI: under 5 minutes with the build)
#   scripts/fuzz.sh --long [SECONDS]  every target SECONDS (default 1800), one core, for
#                                     docs/fuzzing.md; the table goes to build/fuzz/long-run.txt
#   scripts/fuzz.sh --runs N          every target N executions, one core
#   FUZZ_TARGETS="json_object bridge_line" FUZZ_SECONDS=5 scripts/fuzz.sh   those, 5 s each
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-15}
runs=-1
mode=ci
case "${1:-}" in
    --long) mode=long; seconds=${2:-1800} ;;
    --runs) mode=long; runs=${2:?--runs needs a count}; seconds=0 ;;
    "") ;;
    *) echo "usage: $0 [--long [SECONDS] | --runs N]" >&2; exit 2 ;;
esac

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    bash scripts/install-deps.sh
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

targets=${FUZZ_TARGETS:-"record_line record_reader json_object bridge_line arguments escapes_hex message_filter local_time signal_file session_request panel_file workspace dbc_file matrix_csv"}
bin=build/fuzz/tests/fuzz
work=build/fuzz/work
summary=build/fuzz/${mode}-run.txt
mkdir -p "$work"
printf '%-15s %12s %10s %8s %8s %8s\n' target executions "exec/s" seconds cov features > "$summary"
failed=()
for target in $targets; do
    case $target in
        json_object|bridge_line|session_request) dict=tests/fuzz/json.dict ;;
        signal_file|workspace) dict=tests/fuzz/toml.dict ;;
        panel_file) dict=tests/fuzz/panel.dict ;;
        dbc_file) dict=tests/fuzz/dbc.dict ;;
        matrix_csv) dict=tests/fuzz/matrix.dict ;;
        record_line|record_reader|local_time) dict=tests/fuzz/record.dict ;;
        *) dict= ;;
    esac
    # signal_file up to 64 KiB: deep keys and many entries show only in long texts;
    # dbc_file up to 16 KiB: messages with their signals, comments and value tables;
    # matrix_csv 4 KiB: a header and rows of a few messages.
    case $target in
        record_reader|bridge_line|dbc_file) max_len=16384 ;;
        signal_file) max_len=65536 ;;
        panel_file|workspace|matrix_csv) max_len=4096 ;;
        *) max_len=512 ;;
    esac
    # New inputs go to the work folder; the repository's corpus is only read.
    mkdir -p "$work/$target" "build/fuzz/artifacts/$target"
    seeds=tests/fuzz/corpus/$target
    regressions=tests/fuzz/regressions/$target
    inputs=("$work/$target" "$seeds")
    [ -d "$regressions" ] && inputs+=("$regressions")
    log=build/fuzz/$target.log
    limits=(-max_total_time="$seconds")
    [ "$runs" -ge 0 ] && limits=(-runs="$runs")
    start=$(date +%s)
    status=0
    "$bin/fuzz_$target" "${inputs[@]}" "${limits[@]}" -max_len=$max_len -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/artifacts/$target/" ${dict:+-dict=$dict} \
        >"$log" 2>&1 || status=$?
    elapsed=$(( $(date +%s) - start ))
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
    printf '%-15s %12s %10s %8s %8s %8s\n' "$target" "${execs:-?}" "${rate:-?}" "$elapsed" "${cov:-?}" "${ft:-?}" >> "$summary"
    if [ $status -ne 0 ]; then
        failed+=("$target")
        mkdir -p "$regressions"
        for artifact in build/fuzz/artifacts/$target/*; do
            [ -f "$artifact" ] || continue
            cp "$artifact" "$regressions/"
            echo "fuzz: $target: $(basename "$artifact") kept as $regressions/$(basename "$artifact")" >&2
        done
        grep -E 'ERROR|property broken|SUMMARY' "$log" | head -5 >&2 || true
    fi
done
cat "$summary"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]} (logs in build/fuzz/<target>.log)" >&2
    exit 1
fi

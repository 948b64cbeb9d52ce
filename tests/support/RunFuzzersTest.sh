#!/usr/bin/env bash
# RunFuzzersTest.sh <run-fuzzers.sh>: the fuzz runner's verdicts, with stand-in fuzz targets
# that end as real ones do. A sanitizer report must fail the run even when the target exits 0
# (a recoverable check) and even when every other target passes.
set -uo pipefail
runner=$1
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT

# A stand-in target: prints its text (to stderr, as libFuzzer does) and exits with its status.
add_target() {
    local name=$1 status=$2 text=$3
    printf '#!/bin/sh\necho "%s" >&2\nexit %s\n' "$text" "$status" >"$build/$name"
    chmod +x "$build/$name"
    echo "$name|" >>"$build/fuzzers.txt"
}

# expect <wanted exit status: 0 or 1> <case>: runs the runner over the targets added so far.
failures=0
expect() {
    local wanted=$1 case=$2 status=0
    "$runner" "$build" 1 >"$build/out.log" 2>&1 || status=$?
    if { [ "$wanted" -eq 0 ] && [ "$status" -ne 0 ]; } || { [ "$wanted" -ne 0 ] && [ "$status" -eq 0 ]; }; then
        echo "FAILED: $case (runner exit status $status)"; cat "$build/out.log"
        failures=$((failures + 1))
    else
        echo "ok: $case"
    fi
    rm -f "$build/fuzzers.txt"
}

add_target clean 0 "Done 1000 runs in 1 second(s)"
expect 0 "a clean target passes"

add_target crashing 1 "==1==ERROR: AddressSanitizer: heap-buffer-overflow"
expect 1 "a failing exit status fails"

add_target clean 0 "Done 1000 runs in 1 second(s)"
add_target recovering 0 "src/a.cpp:10:5: runtime error: signed integer overflow"
expect 1 "an undefined-behaviour report fails although the target exits 0"

add_target leaking 0 "SUMMARY: AddressSanitizer: 64 byte(s) leaked in 1 allocation(s)."
expect 1 "an address-sanitizer summary fails although the target exits 0"

[ "$failures" -eq 0 ]

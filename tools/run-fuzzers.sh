#!/usr/bin/env bash
# run-fuzzers.sh <fuzz build dir> <seconds>: runs every libFuzzer target listed by the build
# for a bounded time, starting from a scratch copy of its corpus so the repository stays clean.
# A target fails when it exits with an error or when its log holds any sanitizer report: a
# report that did not stop the run (a recoverable check) is a fault all the same.
set -euo pipefail
build=$1
seconds=$2
list=$build/fuzzers.txt
[ -f "$list" ] || { echo "no fuzz targets"; exit 0; }
# What ASan, UBSan and LeakSanitizer print when they find something.
reports='runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer|SUMMARY: [A-Za-z]*Sanitizer'
passed=0
failed=0
while IFS='|' read -r name corpus; do
    [ -n "$name" ] || continue
    work=$(mktemp -d)
    [ -n "$corpus" ] && [ -d "$corpus" ] && cp -r "$corpus/." "$work/"
    status=0
    (cd "$build" && "./$(find . -name "$name" -type f -perm -u+x | head -n1)" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
        "$work" >"$work.log" 2>&1) || status=$?
    if [ "$status" -eq 0 ] && ! grep -Eq "$reports" "$work.log"; then
        echo "fuzz $name: ok"
        passed=$((passed + 1))
    else
        echo "fuzz $name: FAILED (exit status $status)"
        grep -E -m 5 "$reports" "$work.log" || true
        tail -n 40 "$work.log"
        failed=$((failed + 1))
    fi
    rm -rf "$work" "$work.log"
done <"$list"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

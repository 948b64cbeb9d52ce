#!/usr/bin/env bash
# run-fuzzers.sh <fuzz build dir> <seconds>: runs every libFuzzer target listed by the build
# for a bounded time, starting from a scratch copy of its corpus so the repository stays clean.
set -euo pipefail
build=$1
seconds=$2
list=$build/fuzzers.txt
[ -f "$list" ] || { echo "no fuzz targets"; exit 0; }
passed=0
failed=0
while IFS='|' read -r name corpus; do
    [ -n "$name" ] || continue
    work=$(mktemp -d)
    [ -n "$corpus" ] && [ -d "$corpus" ] && cp -r "$corpus/." "$work/"
    if (cd "$build" && "./$(find . -name "$name" -type f -perm -u+x | head -n1)" \
            -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
            "$work" >"$work.log" 2>&1); then
        echo "fuzz $name: ok"
        passed=$((passed + 1))
    else
        echo "fuzz $name: FAILED"; tail -n 40 "$work.log"
        failed=$((failed + 1))
    fi
    rm -rf "$work" "$work.log"
done <"$list"
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Measures the local leaderboards' submission with its save in the Windows build under Wine (a
# report, not a test): the time per submission in a run of its own, then the disk syncs (fsync,
# fdatasync) that Wine makes for it, counted with strace over the whole Wine process tree (which
# slows the run down). Two runs that differ only in their timed submissions are counted, so what
# Wine's own start and end sync cancels out. Each submission waits for the disk, so its time
# follows whatever else uses the disk: compare two builds by runs taken in turn, not one each.
# Usage: bench/services/windows/run-leaderboard-saves-bench.sh [saves]
# Builds in build/windows-release (Release, with benchmarks) unless ZQ_BENCH_BUILD names another
# Windows build folder; runs with a Wine prefix of its own, its server started by the run itself
# so that strace follows it too.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=${ZQ_BENCH_BUILD:-$root/build/windows-release}
saves=${1:-1500}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-bench}
cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DZQ_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_leaderboard_saves >/dev/null
exe=$(find "$build" -name bench_leaderboard_saves.exe | head -n1)
"$root/tools/wine-server.sh" stop
counts=$(mktemp)
trap 'rm -f "$counts"' EXIT

# The syncs of one run: the calls column of strace's summary for fsync and fdatasync.
syncs_of_run() {
    strace -f -q -e trace=fsync,fdatasync -c -o "$counts" "$root/tools/wine-run.sh" "$exe" "$1" >&2
    awk '$NF == "fsync" || $NF == "fdatasync" { calls += $4 } END { print calls + 0 }' "$counts"
}

# Timed without strace, with its own server.
"$root/tools/wine-run.sh" "$exe" "$saves"
"$root/tools/wine-server.sh" stop
one=$(syncs_of_run 1)
many=$(syncs_of_run $((saves + 1)))
echo "disk syncs: $one for 1 timed submission, $many for $((saves + 1)): $(awk -v a="$one" -v b="$many" \
     -v n="$saves" 'BEGIN { printf "%.2f", (b - a) / n }') per submission"

#!/usr/bin/env bash
# Measures the open console's cost per frame under Wine (a report, not a test): the engine's
# console input and drawing over a full ring of 8192 log lines with a filter typed, beside the
# same frames with the console closed, with vsync off.
# Usage: bench/engine/run-console-bench.sh [frames]
# Builds in build/windows-release (Release, with benchmarks) unless ZQ_BENCH_BUILD names another
# Windows build folder; runs with a Wine prefix of its own on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${ZQ_BENCH_BUILD:-$root/build/windows-release}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-bench}
if [ -z "${ZQ_BENCH_BUILT:-}" ]; then
    cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
          -DZQ_BENCH=ON >/dev/null
    cmake --build "$build" -j4 --target bench_console >/dev/null
fi
if [ -z "${DISPLAY:-}" ]; then
    ZQ_BENCH_BUILT=1 exec xvfb-run -a "$0" "$@"
fi
cd "$build/bench/engine/console"
"$root/tools/wine-server.sh" start || [ $? -eq 3 ]
status=0
"$root/tools/wine-run.sh" ./bench_console.exe "${1:-2000}" || status=$?
"$root/tools/wine-server.sh" stop
exit $status

#!/usr/bin/env bash
# Measures the platform layer under Wine (a report, not a test): the XInput back end's update per
# frame and the time to build a crash trace.
# Usage: bench/platform/windows/run-platform-bench.sh
# Builds in build/windows-release (Release, with benchmarks) unless ZQ_BENCH_BUILD names another
# Windows build folder; runs with a Wine prefix of its own.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
build=${ZQ_BENCH_BUILD:-$root/build/windows-release}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-bench}
cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DZQ_BENCH=ON >/dev/null
cmake --build "$build" -j4 --target bench_platform_input >/dev/null
"$root/tools/wine-run.sh" "$(find "$build" -name bench_platform_input.exe | head -n1)"

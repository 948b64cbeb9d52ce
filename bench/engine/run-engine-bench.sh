#!/usr/bin/env bash
# Measures zorqa.exe under Wine (a report, not a test):
#   - start-up: from launching `wine zorqa.exe` (and from the process's creation) to the
#     program's first Draw;
#   - per-frame overhead: frames per second of an empty program with the frame limiter off
#     (fps_limit 1000 gives a frame time of 0 ms) and DISABLE_VSYNC, once in the window size the
#     engine chooses and once in a 320x240 window (developer setting force_resolution), which
#     shows how much of a frame is presenting the back buffer.
# Usage: bench/engine/run-engine-bench.sh [runs] [seconds per run]
# Builds zorqa.exe in build/windows-release (Release) unless ZQ_BENCH_BUILD names another
# Windows build folder; runs in a scratch folder under that build with a Wine prefix of its own.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
runs=${1:-5}
seconds=${2:-3}
build=${ZQ_BENCH_BUILD:-$root/build/windows-release}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-bench}

if [ -z "${ZQ_BENCH_BUILT:-}" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$build" -j"$(nproc)" --target zorqa >/dev/null
fi
if [ -z "${DISPLAY:-}" ]; then
    ZQ_BENCH_BUILT=1 exec xvfb-run -a "$0" "$@"
fi

folder=$build/engine-bench
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/bin/zorqa.exe" "$folder/"
x86_64-w64-mingw32-gcc -O2 -shared -static-libgcc -I"$root/src/include" \
    -o "$folder/prog.dll" "$root/bench/engine/bench_program.c"
"$root/tools/write-program-manifest.sh" "$folder" zq-engine-bench "ZQ Engine Bench" ZorqaEngineBench 1000

value() { sed -n "s/^$1=//p" "$folder/bench-report.txt" | tr -d '\r'; }

cd "$folder"
# The server starts inside this display session (status 3: one already runs and is reused).
"$root/tools/wine-server.sh" start || [ $? -eq 3 ]
for size in chosen 320x240; do
    rm -f developer.xml
    if [ "$size" != chosen ]; then
        printf '<?xml version="1.0" encoding="iso-8859-1"?>\n<root>\n<array id="PARAMETERS">\n<node id="DEVELOPER" force_resolution="%s"/>\n</array>\n</root>\n' "$size" > developer.xml
    fi
    echo "window: $size"
    printf '%-4s %14s %14s %10s %10s %10s %10s %10s\n' run "launch->draw" "created->draw" "->loaded" "->check" "->init" fps "us/frame"
    for run in $(seq 1 "$runs"); do
        rm -f bench-report.txt
        launched=$(date +%s.%N)
        "$root/tools/wine-run.sh" ./zorqa.exe --features DISABLE_VSYNC,NO_POPUPS --bench-seconds "$seconds"
        first=$(value first_draw_unix)
        created=$(value first_draw_ms)
        loaded=$(value loaded_ms)
        check=$(value check_parameters_ms)
        init=$(value init_ms)
        frames=$(value frames)
        counted=$(value seconds)
        awk -v run="$run" -v l="$launched" -v f="$first" -v c="$created" -v n="$frames" -v s="$counted" \
            -v ld="$loaded" -v ck="$check" -v it="$init" 'BEGIN {
            fps = (n - 1) / s
            printf "%-4d %11.1f ms %11.1f ms %7.0f ms %7.0f ms %7.0f ms %10.0f %10.1f\n", run, (f - l) * 1000, c, ld, ck, it, fps, 1e6 / fps }'
    done
done
"$root/tools/wine-server.sh" stop

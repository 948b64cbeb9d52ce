#!/usr/bin/env bash
# The sprite benchmark (a report, not a test): 20,000 and 5,000 alpha-blended 16 x 16 sprites in an
# 800 x 600 window without vertical sync, drawn by zorqa.exe under Wine (DrawBitmap through the
# graphics sub-table) and by SDL2's OpenGL renderer natively (SDL_RenderCopy), both on the same
# Xvfb display and so both on Mesa's llvmpipe. Prints sprites per second and the engine's share of
# SDL2's rate.
# Usage: bench/graphics/sprites/run-sprite-bench.sh [runs] [seconds per run]
# Builds zorqa.exe in build/windows-release (Release) unless ZQ_BENCH_BUILD names another Windows
# build folder; runs in a scratch folder under it with a Wine prefix of its own.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
runs=${1:-3}
seconds=${2:-5}
build=${ZQ_BENCH_BUILD:-$root/build/windows-release}
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-bench}

if [ -z "${ZQ_BENCH_BUILT:-}" ]; then
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    fi
    cmake --build "$build" -j4 --target zorqa >/dev/null
fi
if [ -z "${DISPLAY:-}" ]; then
    ZQ_BENCH_BUILT=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

folder=$build/sprite-bench
rm -rf "$folder"
mkdir -p "$folder"
cp "$build/bin/zorqa.exe" "$folder/"
x86_64-w64-mingw32-gcc -O2 -shared -static-libgcc -I"$root/src/include" -o "$folder/prog.dll" "$here/sprite_program.c"
gcc -O2 -o "$folder/sdl_sprites" "$here/sdl_sprites.c" $(sdl2-config --cflags --libs)
"$root/tools/write-program-manifest.sh" "$folder" zq-sprite-bench "ZQ Sprite Bench" ZorqaEngineBench 1000

cd "$folder"
"$root/tools/wine-server.sh" start || [ $? -eq 3 ]
printf '%-8s %-4s %16s %16s %8s\n' sprites run "engine sprite/s" "SDL2 sprite/s" ratio
for sprites in 20000 5000; do
    for run in $(seq 1 "$runs"); do
        rm -f sprite-report.txt
        "$root/tools/wine-run.sh" ./zorqa.exe --features DISABLE_VSYNC,NO_POPUPS --sprites "$sprites" \
            --bench-seconds "$seconds" >/dev/null 2>&1 || true
        engine=$(awk -F= '/^frames=/ {f=$2} /^seconds=/ {s=$2} /^sprites=/ {n=$2} END {if (s > 0) printf "%.0f", n * f / s}' sprite-report.txt 2>/dev/null | tr -d '\r')
        sdl=$(SDL_VIDEODRIVER=x11 ./sdl_sprites "$sprites" "$seconds" | awk '{printf "%.0f", $1 * $2 / $3}')
        awk -v n="$sprites" -v r="$run" -v e="${engine:-0}" -v s="${sdl:-0}" \
            'BEGIN { printf "%-8d %-4d %16.0f %16.0f %8.2f\n", n, r, e, s, (s > 0 ? e / s : 0) }'
    done
done
"$root/tools/wine-server.sh" stop

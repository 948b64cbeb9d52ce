#!/usr/bin/env bash
# Times Wine's D3DCompile on HLSL11 pairs (a report, not a test): the pair bench_shader_translation
# translates (Wine's compiler refuses it: it has no calls of user functions) and the corpus's
# sprite. Runs that benchmark from a Release host build (build/bench, made when missing), keeps
# its pair, cross-compiles BenchD3DCompile.cpp and runs it under Wine.
# Usage: bench/shadertool/run-d3dcompile-bench.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${ZQ_BENCH_HOST_BUILD:-$root/build/bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DZQ_SANITIZE=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target bench_shader_translation >/dev/null
folder=$build/d3dcompile-bench
rm -rf "$folder"
mkdir -p "$folder"
ZQ_BENCH_HLSL11_OUT=$folder "$build/bench/shadertool/bench_shader_translation"
x86_64-w64-mingw32-g++-posix -O2 -std=c++17 -static -static-libgcc -static-libstdc++ \
    -o "$folder/BenchD3DCompile.exe" "$root/bench/shadertool/BenchD3DCompile.cpp"
cd "$folder"
corpus=$root/tests/shadertool/corpus/translation
cp "$corpus/sprite.HLSL11.vertex" "$corpus/sprite.HLSL11.pixel" .
"$root/tools/wine-run.sh" BenchD3DCompile.exe bench generated.vertex generated.pixel || true
"$root/tools/wine-run.sh" BenchD3DCompile.exe sprite sprite.HLSL11.vertex sprite.HLSL11.pixel

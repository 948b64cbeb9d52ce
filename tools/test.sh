#!/usr/bin/env bash
# Sets up the machine, builds both configurations and runs every test:
#   host    - portable code under ASan/UBSan, plus the fuzz targets replaying their corpora;
#   windows - the product's tests as Windows executables under Wine (windowed ones under Xvfb);
#   fuzz    - each libFuzzer target (clang) runs for a short, bounded time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${ZQ_FUZZ_SECONDS:-20}

"$root/tools/setup.sh"

echo "== include layering"
"$root/tools/check-includes.sh"

echo "== host build"
cmake -S "$root" -B "$root/build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build/host" -j"$jobs"
echo "== host tests"
(cd "$root/build/host" && ctest --output-on-failure -j"$jobs")

echo "== windows build"
cmake -S "$root" -B "$root/build/windows" --toolchain "$root/cmake/mingw-w64.cmake" \
      -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build/windows" -j"$jobs"
echo "== windows tests (Wine)"
# The suite has a Wine prefix of its own, and its wineserver runs inside the Xvfb session: a server
# started under another display (or none) makes every later window creation fail.
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-suite-r1}
"$root/tools/wine-server.sh" stop
xvfb-run -a bash -c '
    "$1/tools/wine-server.sh" start || true
    (cd "$1/build/windows" && ctest --output-on-failure -j"$2")
    status=$?
    "$1/tools/wine-server.sh" stop
    exit $status' _ "$root" "$jobs"

echo "== fuzz targets (${fuzz_seconds}s each)"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZQ_FUZZ=ON -DZQ_SANITIZE=OFF -DZQ_BENCH=OFF >/dev/null
cmake --build "$root/build/fuzz" -j"$jobs"
"$root/tools/run-fuzzers.sh" "$root/build/fuzz" "$fuzz_seconds"

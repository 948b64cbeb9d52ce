#!/usr/bin/env bash
# Builds the Windows configuration and runs zorqa.exe on the sample program under Wine: the
# sample's prog.dll and prog.xml sit beside the executable in build/windows/bin, which is the
# engine's resource folder (res://) and the working folder of the run. The sample clears its
# window every frame, plays a chime and quiet looping music, and quits after a few seconds. Arguments go to zorqa.exe, for example
#   tools/run-sample.sh --features SHOW_FPS,DISABLE_VSYNC
# Without a display the run gets a virtual one (xvfb-run). Setting up the machine (tools/setup.sh)
# needs root the first time, to install the Debian packages.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/windows

# Set when the script calls itself again inside xvfb-run, with everything built already.
if [ -z "${ZQ_RUN_SAMPLE_BUILT:-}" ]; then
    "$root/tools/setup.sh"
    cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build "$build" -j"$(nproc)" --target zorqa zq_sample_program
fi

# A prefix of its own: the wineserver is started and stopped with the run, and stopping it must
# not touch the prefixes test suites are using.
export ZQ_WINEPREFIX=${ZQ_WINEPREFIX:-${ZQ_CACHE_DIR:-/var/cache/zorqa}/wine-prefix-sample}

run() {
    cd "$build/bin"
    # The server starts inside the display session it serves: one started under another display
    # makes window creation fail in later runs. Status 3: one already runs and is reused.
    "$root/tools/wine-server.sh" start || [ $? -eq 3 ]
    status=0
    "$root/tools/wine-run.sh" ./zorqa.exe "$@" || status=$?
    "$root/tools/wine-server.sh" stop
    echo "run-sample: zorqa.exe exited with code $status"
    return $status
}

if [ -n "${DISPLAY:-}" ]; then
    run "$@"
else
    ZQ_RUN_SAMPLE_BUILT=1 exec xvfb-run -a "$root/tools/run-sample.sh" "$@"
fi

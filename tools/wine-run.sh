#!/usr/bin/env bash
# Runs a Windows executable under Wine with the project's cached prefix; CMake's
# CMAKE_CROSSCOMPILING_EMULATOR, so plain `ctest` runs the Windows tests through it.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
zq_wine_prefix_setup
export HOME=$ZQ_WINE_HOME
exec wine "$@"

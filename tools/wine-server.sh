#!/usr/bin/env bash
# wine-server.sh start|stop: keeps one wineserver alive for the prefix during a test suite,
# so the test processes share it instead of each starting and stopping their own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export HOME=$ZQ_WINE_HOME
case "${1:-}" in
    # Exit status 3: a server was already running for the prefix (another suite, a developer's
    # session); it is used as it is, and the caller should leave it running afterwards.
    # Wine's own services (services.exe, winedevice.exe...) are started here with their output
    # detached: started by the first test instead, they would inherit its output pipe and ctest
    # would wait for them until the server ends.
    start) zq_wine_prefix_setup
           wineserver -p 2>/dev/null || exit 3
           wine wineboot </dev/null >/dev/null 2>&1 ;;
    stop)  wineserver -k 2>/dev/null || true ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac

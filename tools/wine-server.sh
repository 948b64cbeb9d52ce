#!/usr/bin/env bash
# wine-server.sh start|stop: keeps one wineserver alive for the prefix during a test suite,
# so the test processes share it instead of each starting and stopping their own.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
export HOME=$ZQ_WINE_HOME
case "${1:-}" in
    start) zq_wine_prefix_setup; wineserver -p ;;
    stop)  wineserver -k 2>/dev/null || true ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac

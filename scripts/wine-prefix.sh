#!/usr/bin/env bash
# Makes the headless Wine prefix the Windows tests run in.
#   wine-prefix.sh          create it if missing
#   wine-prefix.sh --fresh  delete and recreate it (the test script does this once a run)
#   wine-prefix.sh --serve  also start its wineserver and services (see wine-env.sh)
#   wine-prefix.sh --stop   stop its wineserver
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

stop_server() {
    [ -d "$WINEPREFIX" ] || return 0
    timeout 30 wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w 2>/dev/null || true
}

serve=0
for arg in "$@"; do
    case "$arg" in
        --stop) stop_server; exit 0 ;;
        --fresh) stop_server; rm -rf "$WINEPREFIX" ;;
        --serve) serve=1 ;;
        *) echo "usage: $0 [--fresh] [--serve] | --stop" >&2; exit 2 ;;
    esac
done

mkdir -p "$(dirname "$WINEPREFIX")"
exec 8>"$WINEPREFIX.lock"
flock -w 300 8 || { echo "timed out waiting for $WINEPREFIX.lock" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/.oculo-ready" ]; then
    rm -rf "$WINEPREFIX"
    echo "Creating Wine prefix $WINEPREFIX"
    timeout 300 wineboot -i >/dev/null 2>&1
    timeout 120 wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix in $WINEPREFIX" >&2; exit 1; }
    touch "$WINEPREFIX/.oculo-ready"
fi
exec 8>&-   # no Wine process may inherit the lock

if [ "$serve" = 1 ]; then
    oculo_wine_session
fi

# Sourced by the Wine scripts: the headless environment every Wine call uses.
# OCULO_WINEPREFIX picks the prefix; the default lives under build/ (one
# 64-bit prefix runs both 32- and 64-bit programs).
OCULO_ROOT="${OCULO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export WINEPREFIX="${OCULO_WINEPREFIX:-$OCULO_ROOT/build/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono/Gecko install prompts, no sound drivers.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=d"
# Programs run without a display, except those that wine-gui-run.sh gives a
# virtual one of their own (OCULO_WINE_DISPLAY).
if [ -n "${OCULO_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$OCULO_WINE_DISPLAY"
else
    unset DISPLAY
fi
unset WAYLAND_DISPLAY

# Starts the prefix's wineserver (kept 30 s after the last program exits) and
# its services, all detached from the caller's output. Wine's services live as
# long as the server and inherit the output of the program that started them:
# started by a test, they would hold ctest's pipe open until the server exits.
# A no-op while the server runs. Serialised, so that no program starts while
# the services are still coming up (it would start them itself).
oculo_wine_session() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 7>"$WINEPREFIX.session.lock"
    flock -w 180 7 || { echo "timed out waiting for $WINEPREFIX.session.lock" >&2; return 1; }
    # 7>&-: no Wine process may keep the lock.
    if wineserver -p30 </dev/null >/dev/null 2>&1 7>&-; then
        timeout 120 wineboot </dev/null >/dev/null 2>&1 7>&- || true
    fi
    exec 7>&-
}

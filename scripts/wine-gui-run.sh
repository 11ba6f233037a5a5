#!/usr/bin/env bash
# Runs a Windows program that opens windows (a GUI test) under Wine, on a
# virtual display of its own (Xvfb), in a prefix kept for such programs:
# the headless prefix's Wine server has no display, and a server must not
# outlive the display it was started on, so this one is stopped at the end.
#   wine-gui-run.sh [--screenshot FILE.png] [--dll-dir DIR]... [--] program.exe [args...]
# Screenshots: the program creates the file that OCULO_SCREENSHOT_REQUEST
# names (a Windows path) when the screen is worth a look; the whole screen is
# then written to FILE.png and the request file removed, which the program
# waits for. The exit code is the program's.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export OCULO_WINEPREFIX="${OCULO_GUI_WINEPREFIX:-$(cd "$here/.." && pwd)/build/wine-prefix-gui}"

screenshot=""
run_args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot) screenshot="$2"; shift 2 ;;
        --dll-dir) run_args+=("$1" "$2"); shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--screenshot FILE.png] [--dll-dir DIR]... [--] program.exe [args...]" >&2; exit 2; }

work="$(mktemp -d)"
xvfb=""
cleanup() {
    # The prefix's server and its services were started on this display.
    if [ -n "${OCULO_WINE_DISPLAY:-}" ]; then
        (source "$here/wine-env.sh"; timeout 30 wineserver -k 2>/dev/null; timeout 30 wineserver -w 2>/dev/null) || true
    fi
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it listens.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export OCULO_WINE_DISPLAY=":$(head -1 "$work/display")"

request="$work/screenshot-request"
export OCULO_SCREENSHOT_REQUEST="Z:${request//\//\\}"
# No `exec`: the screenshot loop below serves the program while it runs.
bash "$here/wine-run.sh" "${run_args[@]}" -- "$@" &
program=$!
while kill -0 "$program" 2>/dev/null; do
    if [ -e "$request" ]; then
        if [ -n "$screenshot" ]; then
            mkdir -p "$(dirname "$screenshot")"
            DISPLAY="$OCULO_WINE_DISPLAY" import -window root "$screenshot" || echo "screenshot failed" >&2
            [ ! -f "$screenshot" ] || echo "Screenshot: $screenshot"
        fi
        rm -f "$request"
    fi
    sleep 0.2
done
status=0
wait "$program" || status=$?
exit $status

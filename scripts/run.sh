#!/usr/bin/env bash
# The main command: installs what Oculo needs, builds the release preset and
# looks at a camera for a few seconds through the module, the whole path a
# capture application sees: camera -> reader -> filter -> pin -> graph ->
# snapshot. oculo-grab creates the slot's filter through the COM runtime from
# the registered module (build/release/bin/Oculo.so) and runs it in the host
# graph: slot 0's camera when the slot is configured and usable (see
# `oculo-config set 0 ...`; the module is registered for it), otherwise a
# test camera served on loopback for this run only, shown through a
# throwaway registry. Ends by saying where the snapshot is; fails when the
# camera sent no picture, and says why (the reason oculo-grab gives last).
#   scripts/run.sh [seconds]      (default 5)
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

WATCH_SECONDS="${1:-5}"
if ! [[ "$WATCH_SECONDS" =~ ^[0-9]+$ ]] || [ "$WATCH_SECONDS" -lt 1 ] || [ "$WATCH_SECONDS" -gt 3600 ]; then
    echo "usage: $0 [seconds]   (1 to 3600)" >&2
    exit 2
fi
BUILD="$ROOT/build/release"
CONFIG="$BUILD/bin/oculo-config"
GRAB="$BUILD/bin/oculo-grab"
TEST_CAMERA="$BUILD/tests/fixtures/oculo_rtsp_server"
SNAPSHOT="$BUILD/oculo-snapshot.png"

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target oculo_module oculo-config oculo-grab oculo_rtsp_server

# The test camera, when one runs: stopped by its pid however this script ends.
CAMERA_PID=""
CAMERA_OUT=""
GRAB_LOG="$(mktemp)"
stop_test_camera() {
    if [ -n "$CAMERA_PID" ]; then
        kill "$CAMERA_PID" 2>/dev/null || true
        wait "$CAMERA_PID" 2>/dev/null || true
        CAMERA_PID=""
    fi
    if [ -n "$CAMERA_OUT" ]; then rm -f "$CAMERA_OUT"; fi
}
trap 'stop_test_camera; rm -f "$GRAB_LOG"' EXIT

# Runs oculo-grab, its lines shown as they come and kept in GRAB_LOG; its exit status.
grab() {
    "$GRAB" "$@" 2>&1 | tee "$GRAB_LOG"
    return "${PIPESTATUS[0]}"
}

# Starts the RTSP test camera on a free loopback port (it also ends by itself
# a minute after this run should have finished); sets CAMERA_URL.
start_test_camera() {
    local port="" tries
    CAMERA_OUT="$(mktemp)"
    "$TEST_CAMERA" --port 0 --lifetime $((WATCH_SECONDS + 60)) >"$CAMERA_OUT" 2>/dev/null &
    CAMERA_PID=$!
    for tries in $(seq 100); do  # up to 10 s
        port="$(awk '/^PORT /{print $2; exit}' "$CAMERA_OUT")"
        [ -n "$port" ] && break
        kill -0 "$CAMERA_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "The test camera did not start." >&2
        exit 1
    fi
    CAMERA_URL="rtsp://127.0.0.1:$port/h264"
    echo "Test camera (SMPTE bars, H.264) at $CAMERA_URL"
}

echo
status=0
if "$CONFIG" check 0 >/dev/null; then
    echo "Slot 0 is configured: registering the module, then watching its camera for $WATCH_SECONDS s."
    "$CONFIG" register
    grab --slot 0 --seconds "$WATCH_SECONDS" --png "$SNAPSHOT" || status=$?
else
    echo "Slot 0 is not configured or not usable (oculo-config show 0): using a local test camera."
    start_test_camera
    grab --url "$CAMERA_URL" --seconds "$WATCH_SECONDS" --png "$SNAPSHOT" || status=$?
    stop_test_camera
fi

echo
if [ "$status" = 0 ]; then
    echo "Snapshot: $SNAPSHOT"
else
    # oculo-grab names what went wrong on its last line.
    reason="$(tail -n 1 "$GRAB_LOG" | sed -n 's/^oculo-grab: //p')"
    echo "oculo-grab ended with status $status: ${reason:-it gave no reason}" >&2
fi
exit "$status"

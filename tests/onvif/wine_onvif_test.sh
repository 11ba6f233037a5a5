#!/usr/bin/env bash
# oculo-config.exe's camera search end to end under Wine, in the network
# namespace in_namespace.sh made. Wine's sockets belong to its server's
# namespace, so this test boots a prefix of its own, and so its Wine server,
# inside it (a server started outside would send the probes to the real
# network); GetAdaptersAddresses lists only loopback here. For each built
# bitness: discover finds the ONVIF test camera, streams lists its streams
# with its login, stream 1 fills a slot, and oculo-grab.exe, with the modules
# registered, sees the slot stream from the RTSP test camera. Then, on a
# virtual display in the same namespace and prefix, each build's Oculo
# Settings finds the camera and fills a slot's edit dialog from its stream
# (tests/gui/FinderWindowTest.cpp, screenshots in the build's
# Testing/screenshots).
#   wine_onvif_test.sh SOURCE_ROOT BIN_DIR OTHER_BITNESS_BIN_DIR RTSP_SERVER
set -uo pipefail
root=$1 bin=$2 other=$3 rtsp_server=$4
work=$(mktemp -d) camera_server=$root/tests/fixtures/onvif_camera.py camera_lifetime=500
source "$root/tests/tools/cli_helpers.sh"
export OCULO_WINEPREFIX=$root/build/wine-onvif OCULO_SEARCH_LOOPBACK=1
password='p:ss@1/x'
dirs=("$bin")
[ -f "$other/oculo-config.exe" ] && dirs+=("$other")
cleanup() {
    stop_cameras
    WINEPREFIX=$OCULO_WINEPREFIX timeout 30 wineserver -k 2>/dev/null
    rm -rf "$work" "$OCULO_WINEPREFIX" "$OCULO_WINEPREFIX".*lock
}
trap cleanup EXIT
rm -rf "$OCULO_WINEPREFIX"
bash "$root/scripts/wine-prefix.sh" >/dev/null || { echo "FAILED: no Wine prefix booted in the namespace"; exit 1; }

"$rtsp_server" --address 127.0.0.2 --lifetime "$camera_lifetime" --user admin --password "$password" \
    >"$work/rtsp.out" 2>&1 &
cameras+=($!)
within 300 grep -q '^PORT ' "$work/rtsp.out" || { echo "FAILED: the RTSP test camera did not start"; exit 1; }
rtsp=$(awk '/^PORT /{print $2; exit}' "$work/rtsp.out")
serve door --bind 127.0.0.2 --rtsp-port "$rtsp" --name "Front Door" --user admin --password "$password" \
    --auth token --clock-offset 3600 || { echo "FAILED: the ONVIF test camera did not start"; exit 1; }

# says STATUS PATTERN DIR PROGRAM ARGS...: the program of DIR ends with STATUS,
# a line matches PATTERN and none shows the password.
says() {
    local status=$1 pattern=$2 dir=$3 rc; shift 3
    "$root/scripts/wine-run.sh" --dll-dir "$dir" -- "$dir/$@" 2>&1 | tr -d '\r' >"$work/out"
    rc=${PIPESTATUS[0]}
    [ $rc -eq "$status" ] && grep -qE "$pattern" "$work/out" && ! grep -qF "$password" "$work/out" ||
        { echo "exit status $rc:"; tail -n 8 "$work/out"; return 1; }
}
for dir in "${dirs[@]}"; do
    check "discover of $dir finds the camera" says 0 \
        "^Front Door +Oculo Test 1 +127\.0\.0\.2 +http://127\.0\.0\.2:$door/onvif/device_service$" \
        "$dir" oculo-config.exe discover --seconds 2
    check "streams of $dir, with the login" says 0 "^ 1  Main +H\.264 +640x480 +25 fps +rtsp://127\.0\.0\.2:$rtsp/h264$" \
        "$dir" oculo-config.exe streams "127.0.0.2:$door" --user admin --password "$password"
done
"$root/scripts/wine-run.sh" --dll-dir "$bin" -- "$bin/oculo-config.exe" set 3 enable=1 name=Door >/dev/null
check "--slot 3 --stream 1 fills the slot" says 0 "^slot 3: stream 1 stored .*; usable" \
    "$bin" oculo-config.exe streams "127.0.0.2:$door" --user admin --password "$password" --slot 3 --stream 1
modules=()
for dir in "${dirs[@]}"; do modules+=(--module "Z:${dir//\//\\}\\Oculo.ax"); done
check "register" says 0 "Door" "$bin" oculo-config.exe register "${modules[@]}"
for dir in "${dirs[@]}"; do
    check "oculo-grab.exe of $dir: the slot streams" says 0 '^  2 s: .*; camera: streaming, [1-9][0-9]* pictures?, 640x480$' \
        "$dir" oculo-grab.exe --slot 3 --seconds 2 --png "Z:${work//\//\\}\\door.png"
done

# The headless Wine server goes first: a server keeps the display it was
# started with, and wine-gui-run.sh starts one on a display of its own.
WINEPREFIX=$OCULO_WINEPREFIX timeout 30 wineserver -k 2>/dev/null
WINEPREFIX=$OCULO_WINEPREFIX timeout 30 wineserver -w 2>/dev/null
export OCULO_GUI_WINEPREFIX=$OCULO_WINEPREFIX OCULO_FINDER_STREAM=rtsp://127.0.0.2:$rtsp/h264
export OCULO_FINDER_PASSWORD=$password OCULO_FINDER_CAMERA=127.0.0.2:$door OCULO_FINDER_SETTINGS OCULO_SCREENSHOTS
for dir in "${dirs[@]}"; do
    build=$(dirname "$dir")
    [ -f "$build/tests/gui/gui_finder_tests.exe" ] || { echo "note: no Find cameras test in $build"; continue; }
    OCULO_FINDER_SETTINGS="Z:${dir//\//\\}\\oculo-settings.exe"
    mkdir -p "$build/Testing/screenshots"
    OCULO_SCREENSHOTS="Z:${build//\//\\}\\Testing\\screenshots"
    check "Find cameras of $dir fills the edit dialog" \
        bash "$root/scripts/wine-gui-run.sh" -- "$build/tests/gui/gui_finder_tests.exe"
done
exit $((failures > 0))

#!/usr/bin/env bash
# Oculo Settings' window test under Wine on a virtual display: stages the
# installed layout (BIN_DIR's module, FFmpeg DLLs and tools as OWN, x64 or
# x86; OTHER_BIN_DIR's, when built, as the other) in a fresh folder and runs
# the test program on it through wine-gui-run.sh. Screenshots go to
# SCREENSHOT_DIR. The exit code is the test program's.
#   settings_gui_test.sh SOURCE_ROOT BIN_DIR OTHER_BIN_DIR OWN SCREENSHOT_DIR TEST_EXE
set -uo pipefail
root=$1 bin=$2 other_bin=$3 own=$4 screenshots=$5 test_exe=$6
winpath() { echo "Z:${1//\//\\}"; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# stage_folder BIN NAME: what the setup program puts in Program Files\Oculo\NAME.
stage_folder() {
    mkdir -p "$stage/$2"
    cp "$1"/Oculo.ax "$1"/*.dll "$1"/oculo-settings.exe "$1"/oculo-config.exe "$stage/$2/"
}
stage_folder "$bin" "$own" || exit 1
other=x64
[ "$own" = x64 ] && other=x86
if [ -f "$other_bin/oculo-settings.exe" ] && [ -f "$other_bin/Oculo.ax" ]; then
    stage_folder "$other_bin" "$other" || exit 1
else
    echo "note: no $other build in $other_bin: its device list is not checked"
fi
mkdir -p "$screenshots"

export OCULO_SETTINGS_STAGE OCULO_SETTINGS_OWN OCULO_SCREENSHOTS
OCULO_SETTINGS_STAGE=$(winpath "$stage")
OCULO_SETTINGS_OWN=$own
OCULO_SCREENSHOTS=$(winpath "$screenshots")
bash "$root/scripts/wine-gui-run.sh" -- "$test_exe"

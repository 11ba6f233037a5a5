#!/usr/bin/env bash
# Tests the Windows packages (dist/, from package-windows.sh) as a user goes
# through them, in a fresh 64-bit Wine prefix of their own, headless:
#   The unpacked .zip's own tools refuse to register its modules (any user
#   may change that folder).
#   oculo-setup.exe /S: the installed location recorded, both modules
#   registered (class keys in both registry views) for a slot configured
#   before, the Start menu's entries made, listed
#   as a device by the tools of both bitnesses, captured by oculo-grab.exe of
#   both bitnesses (when the package has it); oculo-config unregister and
#   register in one folder act on both modules; Uninstall.exe /S: no device,
#   no class keys, no files, no Start menu entries, no record, the settings kept;
#   Uninstall.exe /S /PURGE: the settings gone too (and the keys of a module
#   deleted before it).
#   The .zip: install.cmd copies it to Program Files, records and registers
#   it there and adds Oculo Settings to the Start menu, uninstall.cmd removes
#   it all, the same checks; a module of the wrong bitness is reported as a
#   failure.
# Prints "package: N passed, M failed, K skipped"; exits non-zero on a failure.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
SETUP="$ROOT/dist/oculo-setup.exe"
ZIP="$ROOT/dist/oculo-windows.zip"
for f in "$SETUP" "$ZIP"; do
    [ -f "$f" ] || { echo "$f is missing: run scripts/package-windows.sh first" >&2; exit 1; }
done

export OCULO_WINEPREFIX="${OCULO_PACKAGE_WINEPREFIX:-$ROOT/build/wine-package}"
source scripts/wine-env.sh
# Start menu entries stay inside the prefix: no menu entries on this machine.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

PASSED=0
FAILED=0
SKIPPED=0
SERVER_PID=""
WORK="$(mktemp -d)"
cleanup() {
    [ -z "$SERVER_PID" ] || kill "$SERVER_PID" 2>/dev/null
    bash scripts/wine-prefix.sh --stop
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

pass() { echo "  ok    $1"; PASSED=$((PASSED + 1)); }
fail() { echo "  FAIL  $1"; FAILED=$((FAILED + 1)); }
# check <description> <command...>: the command's success is the check's.
check() {
    local what="$1"
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}
# wait_for <seconds> <command...>: true once the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.5
    done
}

# A Windows program; output without carriage returns, bounded in time.
win() { timeout 120 wine "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }

SLOT=3
SLOT_CLSID="{077E3B87-88BE-449F-808B-E6B3308F7B44}"
CATEGORY="{860BB310-5D01-11D0-BD3B-00A0C911CE86}"
DEVICE="Oculo Package Test"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Oculo'
SETTINGS_KEY="HKLM\\SOFTWARE\\TALVO\\Oculo\\0$SLOT"
DRIVE_C="$WINEPREFIX/drive_c"
PROGRAM_DIR="$DRIVE_C/Program Files/Oculo"
START_MENU="$DRIVE_C/ProgramData/Microsoft/Windows/Start Menu/Programs/Oculo"
ZIP_DIR="$DRIVE_C/Oculo zip/oculo-windows"   # a space, as under Program Files

key_in() { timeout 60 wine reg query "$1" "/reg:$2" >/dev/null 2>&1; }   # <key> <64|32>
class_keys_in_both() { key_in "HKCR\\CLSID\\$SLOT_CLSID" 64 && key_in "HKCR\\CLSID\\$SLOT_CLSID" 32; }
no_class_keys() {
    local view
    for view in 64 32; do
        ! key_in "HKCR\\CLSID\\$SLOT_CLSID" $view && ! key_in "HKCR\\CLSID\\$CATEGORY\\Instance\\$SLOT_CLSID" $view || return 1
    done
}
settings_in_both() { key_in "$SETTINGS_KEY" 64 && key_in "$SETTINGS_KEY" 32; }
no_settings() { ! key_in "$SETTINGS_KEY" 64 && ! key_in "$SETTINGS_KEY" 32; }
listed_by() { win "$1/oculo-config.exe" devices | grep -q "$DEVICE"; }   # <bin folder>
# The server key of the slot names the module under Program Files in both views.
registered_from_program_files() {
    local view
    for view in 64 32; do
        timeout 60 wine reg query "HKCR\\CLSID\\$SLOT_CLSID\\InprocServer32" /ve "/reg:$view" 2>/dev/null | tr -d '\r' |
            grep -qi 'C:\\Program Files\\Oculo\\x' || return 1
    done
}
listed_by_none() { ! listed_by "$1/x64" && ! listed_by "$1/x86"; }        # <install folder>
# The installed location that the tools register modules from, as recorded.
recorded_installation() {
    timeout 60 wine reg query 'HKLM\SOFTWARE\TALVO\Oculo' /v InstallDir /reg:64 2>/dev/null | tr -d '\r' |
        grep -qF 'C:\Program Files\Oculo'
}
# The unpacked .zip's tools: its modules are refused, the user told to install.
zip_register_refused() {
    local out status
    out=$(win "$ZIP_DIR/x64/oculo-config.exe" register)
    status=$?
    [ $status = 5 ] && grep -q 'Install Oculo first: run install.cmd or the installer' <<<"$out"
}

# grab_both <install folder>: oculo-grab.exe of each bitness captures the test
# camera, and its snapshot shows the camera's quadrants upright.
grab_both() {
    local bits png
    for bits in x64 x86; do
        if [ ! -f "$1/$bits/oculo-grab.exe" ]; then
            echo "  skip  oculo-grab.exe ($bits): not in the package"
            SKIPPED=$((SKIPPED + 1))
            continue
        fi
        png="$WORK/grab-$bits.png"
        rm -f "$png"
        win "$1/$bits/oculo-grab.exe" --slot $SLOT --seconds 3 --png "Z:${png//\//\\}" >"$WORK/grab-$bits.log"
        check "oculo-grab.exe ($bits) --slot $SLOT captures the camera, snapshot upright" \
            /usr/bin/python3 - "$png" <<'EOF'
import sys
from PIL import Image
image = Image.open(sys.argv[1]).convert("RGB")
w, h = image.size
want = {(w // 4, h // 4): (255, 0, 0), (3 * w // 4, h // 4): (0, 255, 0),
        (w // 4, 3 * h // 4): (0, 0, 255), (3 * w // 4, 3 * h // 4): (255, 255, 255)}
sys.exit(0 if (w, h) == (320, 240) and all(
    max(abs(a - b) for a, b in zip(image.getpixel(p), c)) < 40 for p, c in want.items()) else 1)
EOF
        [ -f "$png" ] || tail -5 "$WORK/grab-$bits.log"
    done
}

echo "--- a fresh 64-bit prefix: $WINEPREFIX"
bash scripts/wine-prefix.sh --fresh --serve || { echo "package: 0 passed, 1 failed"; exit 1; }

# The test camera, on loopback.
/usr/bin/python3 tests/fixtures/mjpeg_server.py --lifetime 900 >"$WORK/server.out" 2>&1 &
SERVER_PID=$!
wait_for 20 grep -q '^PORT ' "$WORK/server.out" || { echo "the test camera did not start" >&2; exit 1; }
URL="http://127.0.0.1:$(awk '/^PORT / {print $2}' "$WORK/server.out")/"

# The .zip unpacked; its tools configure the slot (both views) before any
# install, as settings kept from an earlier one.
mkdir -p "$(dirname "$ZIP_DIR")"
python3 -m zipfile -e "$ZIP" "$(dirname "$ZIP_DIR")"
for bits in x64 x86; do
    win "$ZIP_DIR/$bits/oculo-config.exe" set $SLOT enable=1 "url=$URL" "name=$DEVICE" w=320 h=240 fps=15 >/dev/null
done
check "the slot's settings are in both registry views" settings_in_both
check "oculo-config register in the unpacked .zip is refused: install first" zip_register_refused

echo "--- oculo-setup.exe /S"
win "$SETUP" /S
status=$?
check "oculo-setup.exe /S exits 0" test $status = 0
check "both modules, tools, guide and licences are installed" test -f "$PROGRAM_DIR/x64/Oculo.ax" -a \
    -f "$PROGRAM_DIR/x86/Oculo.ax" -a -f "$PROGRAM_DIR/x64/oculo-config.exe" -a -f "$PROGRAM_DIR/x86/oculo-config.exe" -a \
    -f "$PROGRAM_DIR/x64/oculo-settings.exe" -a -f "$PROGRAM_DIR/x86/oculo-settings.exe" -a \
    -f "$PROGRAM_DIR/GUIDE.txt" -a -f "$PROGRAM_DIR/LICENSE.txt" -a -f "$PROGRAM_DIR/FFMPEG-LICENSE.txt" -a \
    -f "$PROGRAM_DIR/OculoStatus.h" -a \
    -f "$PROGRAM_DIR/FFMPEG-BUILD.txt" -a -f "$PROGRAM_DIR/Uninstall.exe"
check "the Start menu has Oculo Settings and Uninstall Oculo" \
    test -f "$START_MENU/Oculo Settings.lnk" -a -f "$START_MENU/Uninstall Oculo.lnk"
check "the list of installed programs has Oculo (64-bit view)" key_in "$UNINSTALL_KEY" 64
check "the installed location is recorded" recorded_installation
check "both modules registered the slot (class keys in both views)" class_keys_in_both
check "the 64-bit tools list the slot's device" listed_by "$PROGRAM_DIR/x64"
check "the 32-bit tools list the slot's device" listed_by "$PROGRAM_DIR/x86"
grab_both "$PROGRAM_DIR"

echo "--- oculo-config in either folder acts on both modules"
win "$PROGRAM_DIR/x64/oculo-config.exe" unregister >/dev/null
check "oculo-config unregister in x64 unregisters both modules" no_class_keys
win "$PROGRAM_DIR/x86/oculo-config.exe" register >/dev/null
check "oculo-config register in x86 registers both modules" class_keys_in_both
check "then the tools of both bitnesses list the slot's device" \
    eval 'listed_by "$PROGRAM_DIR/x64" && listed_by "$PROGRAM_DIR/x86"'

echo "--- Uninstall.exe /S"
win "$PROGRAM_DIR/Uninstall.exe" /S
# The uninstaller goes on from a copy of itself; its entry goes last.
check "the uninstaller ends (its entry in the list goes)" wait_for 60 eval '! key_in "$UNINSTALL_KEY" 64'
check "no files are left" test ! -e "$PROGRAM_DIR"
check "no Start menu entries are left" test ! -e "$START_MENU"
check "no class keys are left" no_class_keys
check "no device is listed" listed_by_none "$ZIP_DIR"
check "no installed location is recorded" eval '! recorded_installation'
check "the slot's settings are kept" settings_in_both

echo "--- the .zip: install.cmd"
win cmd /c "C:\\Oculo zip\\oculo-windows\\install.cmd" >"$WORK/install.log"
status=$?
check "install.cmd exits 0" test $status = 0
grep -q FAILED "$WORK/install.log" && cat "$WORK/install.log"
# Registered from Program Files, never from where the .zip was unpacked
# (any user may change that folder).
check "install.cmd copies both modules, tools and guide to Program Files" test -f "$PROGRAM_DIR/x64/Oculo.ax" -a \
    -f "$PROGRAM_DIR/x86/Oculo.ax" -a -f "$PROGRAM_DIR/x64/oculo-config.exe" -a -f "$PROGRAM_DIR/GUIDE.txt" -a \
    -f "$PROGRAM_DIR/uninstall.cmd"
check "install.cmd adds Oculo Settings to the Start menu" test -f "$START_MENU/Oculo Settings.lnk"
check "install.cmd records the installed location" recorded_installation
check "both modules are registered from Program Files" registered_from_program_files
check "both modules registered the slot (class keys in both views)" class_keys_in_both
check "the 64-bit tools list the slot's device" listed_by "$PROGRAM_DIR/x64"
check "the 32-bit tools list the slot's device" listed_by "$PROGRAM_DIR/x86"
grab_both "$PROGRAM_DIR"

echo "--- the .zip: uninstall.cmd"
win cmd /c "C:\\Oculo zip\\oculo-windows\\uninstall.cmd" >"$WORK/uninstall.log"
status=$?
check "uninstall.cmd exits 0" test $status = 0
check "no class keys are left" no_class_keys
check "no device is listed" listed_by_none "$ZIP_DIR"
check "the installed files and the Start menu's entry are gone" test ! -e "$PROGRAM_DIR" -a ! -e "$START_MENU"
check "no installed location is recorded" eval '! recorded_installation'
check "the slot's settings are kept" settings_in_both

echo "--- the .zip: a module of the wrong bitness"
mv "$ZIP_DIR/x86/Oculo.ax" "$WORK/"
cp "$ZIP_DIR/x64/Oculo.ax" "$ZIP_DIR/x86/"
win cmd /c "C:\\Oculo zip\\oculo-windows\\install.cmd" >"$WORK/broken.log"
status=$?
check "install.cmd exits 1 and names the module that failed" \
    eval 'test $status = 1 && grep -q "FAILED: .*x86.Oculo.ax not registered" "$WORK/broken.log"'
mv "$WORK/Oculo.ax" "$ZIP_DIR/x86/"
# The right module copied over the wrong one, then all of it removed.
win cmd /c "C:\\Oculo zip\\oculo-windows\\install.cmd" >/dev/null
win cmd /c "C:\\Oculo zip\\oculo-windows\\uninstall.cmd" >/dev/null

# A module gone before the uninstall cannot unregister itself: the
# uninstaller removes its slots' keys directly.
echo "--- oculo-setup.exe /S, the 32-bit module deleted, Uninstall.exe /S /PURGE"
win "$SETUP" /S >/dev/null
rm -f "$PROGRAM_DIR/x86/Oculo.ax"
win "$PROGRAM_DIR/Uninstall.exe" /S /PURGE
wait_for 60 eval '! key_in "$UNINSTALL_KEY" 64'
check "/PURGE removes the settings from both views, and everything else" \
    eval 'no_settings && no_class_keys && test ! -e "$PROGRAM_DIR"'

echo "package: $PASSED passed, $FAILED failed, $SKIPPED skipped"
[ $FAILED = 0 ]

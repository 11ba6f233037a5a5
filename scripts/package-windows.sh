#!/usr/bin/env bash
# Builds Oculo for 32- and 64-bit Windows (release builds, FFmpeg from its
# cache) and writes the two packages a Windows user gets:
#   dist/oculo-setup.exe     the installer (NSIS)
#   dist/oculo-windows.zip   the same files with install.cmd / uninstall.cmd
# Both hold x64\ and x86\ (each bitness's Oculo.ax, its FFmpeg DLLs, Oculo
# Settings and the tools), the user guide and the licence texts. Needs
# install-deps.sh --windows.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
DIST="$ROOT/dist"
STAGE="$DIST/build/oculo-windows"
FILES_NSH="$DIST/build/files.nsh"

VERSION="$(sed -n -E 's/^project\(Oculo VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)"
[ -n "$VERSION" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
for tool in makensis zip; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps.sh --windows" >&2; exit 1; }
done

bash scripts/build-ffmpeg-windows.sh
FFMPEG="$(bash scripts/build-ffmpeg-windows.sh --print-dir)"
bash scripts/build-pugixml-windows.sh
PUGIXML="$(bash scripts/build-pugixml-windows.sh --print-dir)"

rm -rf "$DIST/build"
mkdir -p "$STAGE"

# stage_bitness <preset> <folder> <triplet>: build, then copy the product
# folder's module, DLLs and tools, without their symbols.
stage_bitness() {
    local preset="$1" dest="$STAGE/$2" strip="$3-strip" f
    echo "--- $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2
    mkdir -p "$dest"
    for f in "build/$preset/bin"/*.ax "build/$preset/bin"/*.dll "build/$preset/bin"/*.exe; do
        [ -f "$f" ] || continue
        "$strip" --strip-unneeded -o "$dest/$(basename "$f")" "$f"
    done
    for f in Oculo.ax oculo-config.exe oculo-settings.exe; do
        [ -f "$dest/$f" ] || { echo "build/$preset/bin has no $f" >&2; return 1; }
    done
}
stage_bitness win64-release x64 x86_64-w64-mingw32
stage_bitness win32-release x86 i686-w64-mingw32

# Text for Windows: CRLF line ends (cmd needs them for its labels).
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }
crlf installer/GUIDE.txt "$STAGE/GUIDE.txt"
crlf LICENSE "$STAGE/LICENSE.txt"
# The camera status interface, for applications that read it.
crlf include/OculoStatus.h "$STAGE/OculoStatus.h"
crlf /usr/share/common-licenses/LGPL-2.1 "$STAGE/FFMPEG-LICENSE.txt"
crlf "$FFMPEG/BUILD-INFO.txt" "$STAGE/FFMPEG-BUILD.txt"
# pugixml (MIT), linked into the tools that search for cameras.
crlf "$PUGIXML/LICENSE.md" "$STAGE/PUGIXML-LICENSE.txt"
crlf installer/install.cmd "$STAGE/install.cmd"
crlf installer/uninstall.cmd "$STAGE/uninstall.cmd"

# The installer's file lists: what it installs is what its uninstaller
# deletes, file by file (a file in use goes at the next restart).
{
    for bits in x64 x86; do
        echo "!macro OculoInstall_$bits"
        for f in "$STAGE/$bits"/*; do echo "    File \"$f\""; done
        echo "!macroend"
        echo "!macro OculoDelete_$bits"
        for f in "$STAGE/$bits"/*; do echo "    Delete /REBOOTOK \"\$INSTDIR\\$bits\\$(basename "$f")\""; done
        echo "!macroend"
    done
} >"$FILES_NSH"

echo "--- oculo-setup.exe"
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DFILES="$FILES_NSH" \
    -DOUTFILE="$DIST/oculo-setup.exe.tmp" installer/oculo.nsi
mv "$DIST/oculo-setup.exe.tmp" "$DIST/oculo-setup.exe"

echo "--- oculo-windows.zip"
rm -f "$DIST/oculo-windows.zip.tmp"
(cd "$DIST/build" && zip -q -r -X "$DIST/oculo-windows.zip.tmp" oculo-windows)
mv "$DIST/oculo-windows.zip.tmp" "$DIST/oculo-windows.zip"

ls -l "$DIST/oculo-setup.exe" "$DIST/oculo-windows.zip"

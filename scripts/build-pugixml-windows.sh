#!/usr/bin/env bash
# Builds pugixml (the XML parser the camera search reads answers with) as a
# static library for 32- and 64-bit Windows from Debian's source package with
# the mingw-w64 compilers our own code uses, and caches it outside the work
# tree, as build-ffmpeg-windows.sh does for FFmpeg:
#
#   $OCULO_CACHE_DIR/pugixml-<version>-<key>/<arch>/{include,lib}
#   $OCULO_CACHE_DIR/pugixml-<version>-<key>/LICENSE.md
#   $OCULO_CACHE_DIR/pugixml-windows -> pugixml-<version>-<key>   (what the toolchains read)
#
# <key> hashes the compilers' versions, the flags and this script's recipe.
# Usage: build-pugixml-windows.sh [i686] [x86_64]     (default: both)
#        build-pugixml-windows.sh --print-dir          (the cache directory, no build)
set -euo pipefail

RECIPE_REVISION=1   # bump when the steps below change what ends up in the cache
FLAGS=(-O2 -std=c++17)

source "$(dirname "${BASH_SOURCE[0]}")/windows-cache.sh"
windows_library_arguments pugixml "$@"
# The -posix compilers, as the toolchain files: one C++ runtime in every program.
cxx_for() { echo "$1-w64-mingw32-g++-posix"; }

mkdir -p "$CACHE"
exec 9>"$CACHE/.pugixml-windows.lock"
flock -w 600 9 || { echo "another pugixml build holds $CACHE/.pugixml-windows.lock for too long" >&2; exit 1; }

VERSION="$(debian_source_version pugixml)" || exit 1
KEY="$( {
    echo "recipe $RECIPE_REVISION"
    printf '%s\n' "${FLAGS[@]}"
    for a in i686 x86_64; do "$(cxx_for "$a")" --version | head -n1; done
} | sha256sum | cut -c1-12)"
DEST="$CACHE/pugixml-$VERSION-$KEY"

# The unpacked source, fetched once; only a whole tree is marked complete.
SRC="$CACHE/src/pugixml-$VERSION"
TMP=""
trap '[ -z "$TMP" ] || rm -rf "$TMP"' EXIT
if [ ! -f "$SRC/.complete" ]; then
    rm -rf "$SRC"
    TMP="$(mktemp -d "$CACHE/src-XXXXXX")"
    (cd "$TMP" && apt-get source -q pugixml >&2) || { echo "apt-get source pugixml failed" >&2; exit 1; }
    tree="$(find "$TMP" -mindepth 1 -maxdepth 1 -type d -name 'pugixml-*' | head -n1)"
    [ -n "$tree" ] && [ -f "$tree/src/pugixml.cpp" ] || { echo "no pugixml source tree unpacked" >&2; exit 1; }
    mkdir -p "$CACHE/src"
    mv "$tree" "$SRC"
    touch "$SRC/.complete"
fi

for arch in "${ARCHES[@]}"; do
    prefix="$DEST/$arch"
    if [ -f "$prefix/.complete" ]; then
        echo "pugixml $VERSION for $arch: cached in $prefix"
    else
        rm -rf "$prefix"
        mkdir -p "$prefix/include" "$prefix/lib"
        "$(cxx_for "$arch")" "${FLAGS[@]}" -c "$SRC/src/pugixml.cpp" -o "$prefix/lib/pugixml.o"
        "$arch-w64-mingw32-ar" rcs "$prefix/lib/libpugixml.a" "$prefix/lib/pugixml.o"
        rm "$prefix/lib/pugixml.o"
        cp "$SRC/src/pugixml.hpp" "$SRC/src/pugiconfig.hpp" "$prefix/include/"
        touch "$prefix/.complete"
        echo "pugixml $VERSION for $arch: built in $prefix"
    fi
    ln -sfn "$(basename "$DEST")" "$CACHE/pugixml-windows.tmp"
    mv -T "$CACHE/pugixml-windows.tmp" "$CACHE/pugixml-windows"
done
# The package ships the licence (MIT) beside the programs that carry the code.
cp "$SRC/LICENSE.md" "$DEST/LICENSE.md"

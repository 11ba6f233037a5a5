#!/usr/bin/env bash
# Builds FFmpeg's shared DLLs for 32- and 64-bit Windows from Debian's source
# package with mingw-w64, with only what the camera engine uses, and caches the
# result outside the work tree:
#
#   $OCULO_CACHE_DIR/ffmpeg-<version>-<key>/<arch>/{bin,lib,include}
#   $OCULO_CACHE_DIR/ffmpeg-windows -> ffmpeg-<version>-<key>   (what the toolchains read)
#
# <key> hashes the configure flags, the compilers' versions and this script's
# build recipe, so a change to any of them builds afresh and an unchanged run
# takes seconds. OCULO_CACHE_DIR defaults to /var/cache/oculo, or
# ~/.cache/oculo when that is not writable.
#
# Usage: build-ffmpeg-windows.sh [i686] [x86_64]     (default: both)
#        build-ffmpeg-windows.sh --print-dir          (the cache directory, no build)
set -euo pipefail

RECIPE_REVISION=1   # bump when the steps below change what ends up in the cache

source "$(dirname "${BASH_SOURCE[0]}")/windows-cache.sh"
windows_library_arguments ffmpeg "$@"

JOBS="${OCULO_JOBS:-2}"

COMMON_FLAGS=(
    --enable-cross-compile --target-os=mingw32
    --enable-shared --disable-static --disable-programs --disable-doc --disable-debug
    --disable-autodetect --enable-w32threads --disable-pthreads --enable-network --enable-schannel
    --disable-everything --disable-avfilter --disable-swresample --disable-postproc
    --enable-avdevice --enable-swscale
    --enable-protocol=file,tcp,udp,http,https,tls,rtp,httpproxy
    --enable-demuxer=mjpeg,mpjpeg,rtsp,rtp,sdp,h264,hevc
    --enable-decoder=mjpeg,h264,hevc,mpeg4
    --enable-parser=mjpeg,h264,hevc,mpeg4video
    --extra-ldflags=-static-libgcc
    --build-suffix=-oculo
)

# --build-suffix: the DLLs, and every import between them, carry a name of
# their own (avformat-oculo-59.dll), so a host process that has loaded
# another FFmpeg under the standard names never mixes the two.

# FFmpeg is C with its own Windows threads: the win32-thread-model compiler
# keeps winpthread out of the DLLs.
cc_for() { echo "$1-w64-mingw32-gcc-win32"; }
arch_flag() { case "$1" in i686) echo x86 ;; x86_64) echo x86_64 ;; esac; }

mkdir -p "$CACHE"
exec 9>"$CACHE/.ffmpeg-windows.lock"
if ! flock -w 1800 9; then
    echo "another FFmpeg build holds $CACHE/.ffmpeg-windows.lock for too long" >&2
    exit 1
fi

VERSION="$(debian_source_version ffmpeg)" || exit 1

KEY="$( {
    echo "recipe $RECIPE_REVISION"
    printf '%s\n' "${COMMON_FLAGS[@]}"
    for a in i686 x86_64; do "$(cc_for "$a")" --version | head -n1; done
    nasm -v
} | sha256sum | cut -c1-12)"
DEST="$CACHE/ffmpeg-$VERSION-$KEY"

# Any import that is not one of FFmpeg's own DLLs must be a Windows system DLL.
SYSTEM_DLLS='^(kernel32|msvcrt|user32|advapi32|bcrypt|ws2_32|secur32|crypt32|ncrypt|ole32|oleaut32|shell32|shlwapi|gdi32|psapi|iphlpapi|avicap32|vfw32)\.dll$'
check_imports() {  # <prefix>
    local dll name bad=0
    for dll in "$1"/bin/*.dll; do
        while read -r name; do
            name="$(tr '[:upper:]' '[:lower:]' <<<"$name")"
            if [ -e "$1/bin/$name" ] || [[ "$name" =~ $SYSTEM_DLLS ]]; then continue; fi
            echo "$(basename "$dll") imports non-system DLL $name" >&2
            bad=1
        done < <(objdump -p "$dll" | awk '/DLL Name:/ {print $3}')
    done
    return $bad
}

# pkg-config must work from wherever the cache is: point the .pc files at
# their own location instead of the install prefix.
relocate_pc_files() {  # <prefix>
    local pc
    for pc in "$1"/lib/pkgconfig/*.pc; do
        sed -i -e "s|$1|\${pcfiledir}/../..|g" "$pc"
    done
}

# Sets SRC to the unpacked source tree, fetched once. Only a tree that
# unpacked whole is marked complete: a failed fetch is never cached.
SRC=""
FETCH_TMP=""
fetch_source() {
    SRC="$CACHE/src/ffmpeg-$VERSION"
    [ ! -f "$SRC/.complete" ] || return 0
    rm -rf "$SRC"
    FETCH_TMP="$(mktemp -d "$CACHE/src-XXXXXX")"
    if ! (cd "$FETCH_TMP" && apt-get source -q ffmpeg >&2); then
        echo "apt-get source ffmpeg failed" >&2
        return 1
    fi
    local tree
    tree="$(find "$FETCH_TMP" -mindepth 1 -maxdepth 1 -type d -name 'ffmpeg-*' | head -n1)"
    if [ -z "$tree" ] || [ ! -x "$tree/configure" ]; then
        echo "apt-get source ffmpeg unpacked no whole source tree" >&2
        return 1
    fi
    mkdir -p "$CACHE/src"
    mv "$tree" "$SRC"
    touch "$SRC/.complete"
    rm -rf "$FETCH_TMP"
    FETCH_TMP=""
}

# A failed or interrupted run leaves no temporary trees behind: the fetch's
# download folder, and the build folder and partial install of the
# architecture being built (neither is marked complete, so the next run
# starts them afresh anyway).
WORK=""
PARTIAL=""
cleanup() {
    local status=$?
    [ -z "$FETCH_TMP" ] || rm -rf "$FETCH_TMP"
    if [ "$status" != 0 ]; then
        [ -z "$WORK" ] || rm -rf "$WORK"
        [ -z "$PARTIAL" ] || rm -rf "$PARTIAL"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

build_arch() {  # <arch>
    local arch="$1" prefix="$DEST/$1" src work
    if [ -f "$prefix/.complete" ]; then
        echo "FFmpeg $VERSION for $arch: cached in $prefix"
        return 0
    fi
    fetch_source
    src="$SRC"
    work="$CACHE/build/ffmpeg-$VERSION-$KEY-$arch"
    rm -rf "$work" "$prefix"
    WORK="$work"
    PARTIAL="$prefix"
    mkdir -p "$work"
    echo "FFmpeg $VERSION for $arch: building in $work"
    (
        cd "$work"
        "$src/configure" --prefix="$prefix" --arch="$(arch_flag "$arch")" \
            --cross-prefix="$arch-w64-mingw32-" --cc="$(cc_for "$arch")" \
            "${COMMON_FLAGS[@]}" >configure.log 2>&1 || { tail -n 30 configure.log ffbuild/config.log; exit 1; }
        make -j"$JOBS" >make.log 2>&1 || { tail -n 40 make.log; exit 1; }
        make install >install.log 2>&1 || { tail -n 20 install.log; exit 1; }
    )
    rm -rf "$prefix/share"
    relocate_pc_files "$prefix"
    check_imports "$prefix"
    touch "$prefix/.complete"
    rm -rf "$work"
    WORK=""
    PARTIAL=""
}

for a in "${ARCHES[@]}"; do
    build_arch "$a"
    # Point the toolchains at this build as soon as an architecture is ready.
    ln -sfn "$(basename "$DEST")" "$CACHE/ffmpeg-windows.tmp"
    mv -T "$CACHE/ffmpeg-windows.tmp" "$CACHE/ffmpeg-windows"
done
# What a binary package must tell about the FFmpeg it ships (LGPL): the
# version, how it was configured and where its source comes from. Cheap, so
# written on every run, cached builds included.
write_build_info() {
    {
        echo "FFmpeg $VERSION (Debian's source package \"ffmpeg\", version $VERSION)"
        echo
        echo "Licence: GNU Lesser General Public License, version 2.1 or later (built without"
        echo "--enable-gpl and --enable-nonfree). The text is in FFMPEG-LICENSE.txt."
        echo
        echo "Source: the unmodified Debian source package, fetched with"
        echo "    apt-get source ffmpeg=$VERSION"
        echo "on Debian 12 with deb-src entries enabled (Debian keeps every published"
        echo "version's source in its archive)."
        echo
        echo "Built with mingw-w64 as shared DLLs, for each architecture (i686, x86_64) with"
        for a in i686 x86_64; do
            echo "    ./configure --arch=$(arch_flag "$a") --cross-prefix=$a-w64-mingw32- --cc=$(cc_for "$a")"
        done
        echo "followed by:"
        echo "${COMMON_FLAGS[*]}" | fold -s -w 88 | sed 's/^/    /; s/ *$//'
        echo
        echo "--build-suffix=-oculo names the DLLs avformat-oculo-59.dll, avcodec-oculo-59.dll and"
        echo "so on, and every import between them: Oculo's FFmpeg never meets another FFmpeg that"
        echo "an application has loaded under the standard names in the same process."
    } >"$DEST/BUILD-INFO.txt.tmp"
    mv "$DEST/BUILD-INFO.txt.tmp" "$DEST/BUILD-INFO.txt"
}
write_build_info

for a in "${ARCHES[@]}"; do
    echo "FFmpeg for $a: $CACHE/ffmpeg-windows/$a"
done

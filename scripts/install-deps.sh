#!/usr/bin/env bash
# Installs every Debian package that building and testing Oculo needs.
# Idempotent: packages already present are left alone.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

NATIVE_PACKAGES=(
    build-essential cmake ninja-build pkg-config git
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavdevice-dev
    libgstrtspserver-1.0-dev libgstreamer1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad
    python3 python3-pil ffmpeg valgrind
)
WINDOWS_PACKAGES=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
    nasm make dpkg-dev xz-utils
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi

missing=()
for p in "${NATIVE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
    echo "All build and test packages are installed."
fi

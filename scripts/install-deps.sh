#!/usr/bin/env bash
# Installs the Debian packages that building and testing Oculo needs.
# Idempotent: packages already present are left alone.
#   install-deps.sh            the native (Linux) build and tests
#   install-deps.sh --windows  also the Windows builds: mingw-w64, Wine (with
#                              the i386 architecture) and deb-src entries for
#                              FFmpeg's source package
# Waits up to 10 minutes for the package manager's locks: a freshly booted
# machine is often busy with its own updates.
set -euo pipefail

WINDOWS=0
case "${1:-}" in
    "") ;;
    --windows) WINDOWS=1 ;;
    *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
esac

export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

NATIVE_PACKAGES=(
    build-essential cmake ninja-build pkg-config git
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libavdevice-dev
    libgstrtspserver-1.0-dev libgstreamer1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-plugins-bad
    python3 python3-pil ffmpeg valgrind zlib1g-dev clang
    libpugixml-dev  # the camera search's XML parser (built from its source package for Windows)
    iproute2  # the camera search's tests: loopback multicast in a network namespace of their own
    libclang-rt-14-dev  # clang's libFuzzer and sanitizer runtimes (a recommendation only)
)
WINDOWS_PACKAGES=(
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
    nasm make dpkg-dev xz-utils nsis zip
    xvfb xdotool imagemagick  # the Windows GUI tests: a display for Wine, screenshots
)

LOCK_WAIT=600
# Runs a package command again while another process holds apt's or dpkg's
# lock, for up to LOCK_WAIT seconds in all (apt-get update has no lock
# timeout of its own; installs also wait in dpkg itself).
retry_locked() {
    local deadline=$((SECONDS + LOCK_WAIT)) log status said=0
    log="$(mktemp)"
    while :; do
        status=0
        "$@" 2>"$log" || status=$?
        if [ $status = 0 ] || [ $SECONDS -ge $deadline ] ||
            ! grep -qiE 'could not get lock|locked by another process' "$log"; then
            cat "$log" >&2
            rm -f "$log"
            return $status
        fi
        [ $said = 1 ] || echo "Waiting for the package manager's lock (held by another process)..." >&2
        said=1
        sleep 5
    done
}

# The Windows FFmpeg is built from Debian's own source package, so apt needs
# deb-src entries: mirror every enabled Debian "deb" entry (same URIs, suites
# and components) into one file of our own, leaving the system's files alone.
DEB_SRC_FILE=/etc/apt/sources.list.d/oculo-deb-src.sources
DEB_SRC_LIST=/etc/apt/sources.list.d/oculo-deb-src.list
install_if_changed() {  # <temp file> <target>
    if [ -s "$1" ] && ! cmp -s "$1" "$2" 2>/dev/null; then
        $SUDO install -m 644 "$1" "$2"
    fi
    rm -f "$1"
}
add_deb_src() {
    local stanzas lines f
    stanzas="$(mktemp)"
    lines="$(mktemp)"
    # deb822 stanzas (*.sources): copy each enabled Debian "deb" stanza as
    # "deb-src", without its comment lines.
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && [ "$f" != "$DEB_SRC_FILE" ] || continue
        awk -v RS= -v ORS='\n\n' '
            /(^|\n)Types:[^\n]*[ \t]deb([ \t]|\n|$)/ && !/(^|\n)Types:[^\n]*deb-src/ &&
            /(^|\n)URIs:[^\n]*debian/ && !/(^|\n)Enabled:[ \t]*no/ {
                gsub(/(^|\n)#[^\n]*/, "")
                sub(/^\n/, "")
                sub(/Types:[^\n]*/, "Types: deb-src")
                print
            }' "$f" >>"$stanzas"
    done
    # One-line entries (sources.list, *.list).
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && [ "$f" != "$DEB_SRC_LIST" ] || continue
        sed -n -E 's/^[[:space:]]*deb([[:space:]].*debian)/deb-src\1/p' "$f" >>"$lines"
    done
    if [ ! -s "$stanzas" ] && [ ! -s "$lines" ]; then
        echo "No Debian apt entries to mirror as deb-src; add one for 'apt-get source ffmpeg'" >&2
        rm -f "$stanzas" "$lines"
        return 1
    fi
    install_if_changed "$stanzas" "$DEB_SRC_FILE"
    install_if_changed "$lines" "$DEB_SRC_LIST"
}

PACKAGES=("${NATIVE_PACKAGES[@]}")
NEED_UPDATE=0
if [ $WINDOWS = 1 ]; then
    PACKAGES+=("${WINDOWS_PACKAGES[@]}")
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        retry_locked $SUDO dpkg --add-architecture i386
        NEED_UPDATE=1
    fi
    if ! apt-get source --print-uris -q ffmpeg >/dev/null 2>&1; then
        add_deb_src
        NEED_UPDATE=1
    fi
fi

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ "$NEED_UPDATE" = 1 ]; then
    retry_locked $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    retry_locked $SUDO apt-get -o DPkg::Lock::Timeout=$LOCK_WAIT install -y -q --no-install-recommends "${missing[@]}"
else
    echo "All build and test packages are installed."
fi

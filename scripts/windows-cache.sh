# Sourced by the scripts that build Windows libraries from Debian's source
# packages and cache them outside the work tree (build-ffmpeg-windows.sh,
# build-pugixml-windows.sh).

# The cache: OCULO_CACHE_DIR, else /var/cache/oculo, or ~/.cache/oculo when
# that is not writable.
oculo_cache_dir() {
    if [ -n "${OCULO_CACHE_DIR:-}" ]; then
        echo "$OCULO_CACHE_DIR"
    elif mkdir -p /var/cache/oculo 2>/dev/null && [ -w /var/cache/oculo ]; then
        echo /var/cache/oculo
    else
        echo "${XDG_CACHE_HOME:-$HOME/.cache}/oculo"
    fi
}

# windows_library_arguments NAME ARGS...: a build script's command line.
# With --print-dir, prints the folder the toolchains read (the cache's
# NAME-windows) and exits; otherwise sets CACHE, and ARCHES to the
# architectures asked for (default: both), exiting on an unknown one.
windows_library_arguments() {
    local name=$1 a
    shift
    CACHE="$(oculo_cache_dir)"
    if [ "${1:-}" = "--print-dir" ]; then
        echo "$CACHE/$name-windows"
        exit 0
    fi
    ARCHES=("$@")
    [ ${#ARCHES[@]} -gt 0 ] || ARCHES=(i686 x86_64)
    for a in "${ARCHES[@]}"; do
        case "$a" in i686|x86_64) ;; *) echo "unknown architecture: $a" >&2; exit 2 ;; esac
    done
}

# debian_source_version PACKAGE: the version of Debian's source package (from
# apt's local lists; no network), fit for a folder name. Fails with a message
# when apt knows no such source package.
debian_source_version() {
    local dsc version
    dsc="$(apt-get source --print-uris -q "$1" 2>/dev/null | awk '{print $2}' | grep '\.dsc$' | head -n1 || true)"
    if [ -z "$dsc" ]; then
        echo "apt knows no $1 source package: run scripts/install-deps.sh --windows (it adds deb-src entries)" >&2
        return 1
    fi
    version="${dsc#"$1"_}"
    version="${version%.dsc}"
    echo "${version//[^A-Za-z0-9.+~-]/_}"
}

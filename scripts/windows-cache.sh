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

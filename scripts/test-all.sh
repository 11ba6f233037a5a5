#!/usr/bin/env bash
# The whole test run: installs what it needs, then builds and tests every
# target: native debug, ASan+UBSan, TSan, and the 32- and 64-bit Windows builds
# with their tests under Wine (in a fresh prefix made once for this run). Each
# part is timed; prints one summary and fails if any part failed.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

declare -a RESULTS=()
FAILED=0
RUN_START=$SECONDS

# part <name> <command...>: runs one part, records its result and time.
part() {
    local name="$1" start=$SECONDS status
    shift
    echo
    echo "=== $name ==="
    "$@"
    status=$?
    local took=$((SECONDS - start))
    if [ $status = 0 ]; then
        RESULTS+=("$(printf '%-22s passed  %4ds' "$name" "$took")")
    else
        RESULTS+=("$(printf '%-22s FAILED  %4ds' "$name" "$took")")
        FAILED=1
    fi
    return $status
}

skip() {  # <name> <reason>
    RESULTS+=("$(printf '%-22s FAILED  (not run: %s)' "$1" "$2")")
    FAILED=1
}

summary() {
    echo
    echo "=== Summary ==="
    for r in "${RESULTS[@]}"; do echo "  $r"; done
    echo "  total $((SECONDS - RUN_START))s"
    exit $FAILED
}

# preset_suite <preset> <ctest jobs>: configure, build, test. A build error
# fails the part, but what did build is still tested, so one broken file does
# not hide the state of everything else.
preset_suite() {
    local built=0
    cmake --preset "$1" >/dev/null || return 1
    cmake --build --preset "$1" -j2 -- -k 0 || built=1
    [ $built = 0 ] || echo "--- $1: the build failed; testing what did build"
    ctest --preset "$1" -j"$2" --no-tests=error || return 1
    return $built
}

if ! part "dependencies" bash scripts/install-deps.sh; then
    summary
fi

part "native debug" preset_suite debug 2
part "native asan+ubsan" preset_suite asan 2
part "native tsan" preset_suite tsan 2

# Windows: FFmpeg (cached after the first run) and one fresh prefix that runs
# both architectures' tests.
WINDOWS_READY=1
part "windows ffmpeg" bash scripts/build-ffmpeg-windows.sh || WINDOWS_READY=0
if [ $WINDOWS_READY = 1 ]; then
    part "wine prefix" bash scripts/wine-prefix.sh --fresh --serve || WINDOWS_READY=0
fi
for preset in win32 win64; do
    if [ $WINDOWS_READY = 1 ]; then
        # One test at a time: under Wine the tests share one real registry.
        part "$preset (wine)" preset_suite "$preset" 1
    else
        skip "$preset (wine)" "FFmpeg or the Wine prefix failed"
    fi
done
[ $WINDOWS_READY = 1 ] && bash scripts/wine-prefix.sh --stop

summary

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
    # A failed part that ran no test (an install, a build) counts as a failure too.
    local failed=$TESTS_FAILED
    [ $FAILED = 1 ] && [ $failed = 0 ] && failed=$(printf '%s\n' "${RESULTS[@]}" | grep -c FAILED)
    echo "tests: $TESTS_PASSED passed, $failed failed"
    exit $FAILED
}

# count_ctest <log>: adds a ctest run's totals ("... N tests failed out of M").
TESTS_PASSED=0
TESTS_FAILED=0
count_ctest() {
    local line failed total
    line=$(grep -E 'tests? failed out of [0-9]+' "$1" | tail -1)
    [ -n "$line" ] || return 0
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
    TESTS_FAILED=$((TESTS_FAILED + failed))
    TESTS_PASSED=$((TESTS_PASSED + total - failed))
}

# preset_suite <preset> <ctest jobs>: configure, build, test. A build error
# fails the part, but what did build is still tested, so one broken file does
# not hide the state of everything else.
preset_suite() {
    local built=0
    cmake --preset "$1" >/dev/null || return 1
    cmake --build --preset "$1" -j2 -- -k 0 || built=1
    [ $built = 0 ] || echo "--- $1: the build failed; testing what did build"
    local log status
    log=$(mktemp)
    ctest --preset "$1" -j"$2" --no-tests=error 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    count_ctest "$log"
    rm -f "$log"
    [ $status = 0 ] || return 1
    return $built
}

# valgrind_suite: the debug build's quick test programs under valgrind's
# memory checker (the camera stream suite, minutes long there, is left to
# the sanitizer builds). glibc's AVX2 wide-string routines read past the end
# in ways valgrind reports falsely; they are switched off for this run.
valgrind_suite() {
    local failed=0 name exe
    for name in $(ctest --test-dir build/debug -N | awk '/Test +#/ {print $3}'); do
        [ "$name" = camera_stream_tests ] && continue
        exe=$(find build/debug/tests -name "$name" -type f -executable | head -1)
        [ -n "$exe" ] || continue
        if GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2 timeout 900 valgrind -q --error-exitcode=99 \
            --leak-check=full --errors-for-leak-kinds=definite "$exe" >"build/valgrind-$name.log" 2>&1; then
            echo "  $name: clean"
            TESTS_PASSED=$((TESTS_PASSED + 1))
        else
            echo "  $name: FAILED (build/valgrind-$name.log)"
            tail -30 "build/valgrind-$name.log"
            TESTS_FAILED=$((TESTS_FAILED + 1))
            failed=1
        fi
    done
    return $failed
}

if ! part "dependencies" bash scripts/install-deps.sh; then
    summary
fi

part "native debug" preset_suite debug 2
part "native valgrind" valgrind_suite
part "native asan+ubsan" preset_suite asan 2
part "native tsan" preset_suite tsan 2
# Clang with its lock-contract checks (-Wthread-safety, as errors).
part "clang lock checks" preset_suite clang-tsa 2

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

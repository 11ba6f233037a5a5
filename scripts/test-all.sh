#!/usr/bin/env bash
# The whole test run: installs what it needs, then builds and tests every
# target: native debug, ASan+UBSan, TSan, and the 32- and 64-bit Windows builds
# with their tests under Wine (in a fresh prefix made once for this run). Each
# part is timed; prints one summary and fails if any part failed. A skipped
# test fails the native parts; the Windows parts count their skips (the
# Linux-only cases) in the summary.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

declare -a RESULTS=()
FAILED=0
RUN_START=$SECONDS

# Whatever way the run ends (interrupts included), the fixture managers of
# the Windows suites it tested and the Wine server it started are stopped.
WINE_STARTED=0
FIXTURE_STATES=()
cleanup() {
    local state
    for state in "${FIXTURE_STATES[@]}"; do
        [ ! -f "$state" ] || timeout 60 python3 tests/fixtures/fixture_manager.py stop --state "$state" || true
    done
    FIXTURE_STATES=()
    if [ $WINE_STARTED = 1 ]; then
        bash scripts/wine-prefix.sh --stop || true
        WINE_STARTED=0
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# part <name> <command...>: runs one part, records its result, time and skips.
PART_SKIPPED=0
part() {
    local name="$1" start=$SECONDS status
    shift
    echo
    echo "=== $name ==="
    PART_SKIPPED=0
    "$@"
    status=$?
    local took=$((SECONDS - start)) skips=""
    [ $PART_SKIPPED = 0 ] || skips="  ($PART_SKIPPED skipped)"
    if [ $status = 0 ]; then
        RESULTS+=("$(printf '%-22s passed  %4ds%s' "$name" "$took" "$skips")")
    else
        RESULTS+=("$(printf '%-22s FAILED  %4ds%s' "$name" "$took" "$skips")")
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
    local skipped=""
    [ $TESTS_SKIPPED = 0 ] || skipped=", $TESTS_SKIPPED skipped"
    echo "tests: $TESTS_PASSED passed, $failed failed$skipped"
    exit $FAILED
}

# count_ctest <log>: adds a ctest run's totals ("... N tests failed out of M",
# which counts skipped tests as passed; they are listed under "The following
# tests did not run" as "(Skipped)").
TESTS_PASSED=0
TESTS_FAILED=0
TESTS_SKIPPED=0
count_ctest() {
    local line failed total skipped
    skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$1")
    line=$(grep -E 'tests? failed out of [0-9]+' "$1" | tail -1)
    [ -n "$line" ] || return 0
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
    TESTS_FAILED=$((TESTS_FAILED + failed))
    TESTS_PASSED=$((TESTS_PASSED + total - failed - skipped))
    TESTS_SKIPPED=$((TESTS_SKIPPED + skipped))
    PART_SKIPPED=$((PART_SKIPPED + skipped))
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
# memory checker (the stream, fault and soak suites, minutes long there, are
# left to the sanitizer builds). glibc's AVX2 wide-string routines read past the end
# in ways valgrind reports falsely; they are switched off for this run.
valgrind_suite() {
    local failed=0 name exe filter wrap
    for name in $(ctest --test-dir build/debug -N | awk '/Test +#/ {print $3}'); do
        case "$name" in camera_stream_tests | module_stream_tests | *fault* | *soak*) continue ;; esac
        exe=$(find build/debug/tests -name "$name" -type f -executable | head -1)
        [ -n "$exe" ] || continue
        # The camera search's tests probe only in a network namespace of their own.
        wrap=()
        case "$name" in onvif_camera_tests) wrap=(bash tests/onvif/in_namespace.sh) ;; esac
        # valgrind puts its own allocator in place of the one a test swaps in
        # to make an allocation fail; the sanitizer builds run that case.
        filter="-FilterTest.PinThatCannotBeMade*"
        if GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2 timeout 900 "${wrap[@]}" valgrind -q --error-exitcode=99 \
            --suppressions=scripts/valgrind.supp \
            --leak-check=full --errors-for-leak-kinds=definite "$exe" --gtest_filter="$filter" \
            >"build/valgrind-$name.log" 2>&1; then
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

if ! part "dependencies" bash scripts/install-deps.sh --windows; then
    summary
fi

part "native debug" preset_suite debug 2
part "native valgrind" valgrind_suite
part "native asan+ubsan" preset_suite asan 2
part "native tsan" preset_suite tsan 2
# Clang with its lock-contract checks (-Wthread-safety, as errors).
part "clang lock checks" preset_suite clang-tsa 2
# The fuzz targets, each fuzzed briefly from its corpus (scripts/fuzz.sh runs them longer).
part "fuzz (short runs)" preset_suite fuzz 1

# Windows: FFmpeg (cached after the first run) and one fresh prefix that runs
# both architectures' tests.
WINDOWS_READY=1
part "windows ffmpeg" bash scripts/build-ffmpeg-windows.sh || WINDOWS_READY=0
part "windows pugixml" bash scripts/build-pugixml-windows.sh || WINDOWS_READY=0
if [ $WINDOWS_READY = 1 ]; then
    WINE_STARTED=1
    part "wine prefix" bash scripts/wine-prefix.sh --fresh --serve || WINDOWS_READY=0
fi
# Each bitness's window tests run on an installed layout of both builds, as
# the setup program leaves it: both are built before either is tested. The
# window tests run on a virtual display (Debian's Xvfb) that their runner,
# scripts/wine-gui-run.sh, starts for each and stops by its pid.
if [ $WINDOWS_READY = 1 ]; then
    for preset in win32 win64; do
        cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2 -- -k 0 >/dev/null ||
            echo "--- $preset: the build failed (its part below says more)"
    done
fi
for preset in win32 win64; do
    if [ $WINDOWS_READY = 1 ]; then
        # The managers ctest starts (the camera suite and the fault matrix
        # share one, the module stream tests have their own).
        FIXTURE_STATES+=("$ROOT/build/$preset/tests/fixtures/fixture_manager.state"
                         "$ROOT/build/$preset/tests/module/fixture_manager.state")
        # One test at a time: under Wine the tests share one real registry.
        part "$preset (wine)" preset_suite "$preset" 1
    else
        skip "$preset (wine)" "FFmpeg, pugixml or the Wine prefix failed"
    fi
done
cleanup

# The Windows packages, built and installed as a user would, in a prefix of
# their own; the test prints "package: N passed, M failed, K skipped".
package_suite() {
    local log status passed failed skipped
    bash scripts/package-windows.sh || return 1
    log=$(mktemp)
    bash scripts/test-windows-package.sh 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    read -r passed failed skipped < <(sed -n -E 's/^package: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped$/\1 \2 \3/p' "$log")
    rm -f "$log"
    TESTS_PASSED=$((TESTS_PASSED + ${passed:-0}))
    TESTS_FAILED=$((TESTS_FAILED + ${failed:-0}))
    TESTS_SKIPPED=$((TESTS_SKIPPED + ${skipped:-0}))
    PART_SKIPPED=$((PART_SKIPPED + ${skipped:-0}))
    return $status
}
if [ $WINDOWS_READY = 1 ]; then
    part "windows package" package_suite
else
    skip "windows package" "FFmpeg or the Wine prefix failed"
fi

summary

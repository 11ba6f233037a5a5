#!/usr/bin/env bash
# The whole test run: installs what it needs, then builds and tests every
# target: native debug (and its quick programs under valgrind), ASan+UBSan,
# TSan, a Clang build that checks the lock contracts, the fuzz targets, the
# 32- and 64-bit Windows builds with their tests under Wine, and the Windows
# packages installed as a user would. Prints one summary and fails if any
# part failed. A skipped test fails the native parts; the Windows parts count
# their skips (the Linux-only cases) in the summary.
#
# Three lanes run side by side. The build lane compiles one preset after
# another on every core; the native and the Windows lanes each run their
# suites one after another, each as soon as what it tests is built. The
# suites spend most of their time waiting on cameras that stream in real
# time, so the other lanes fill the time they leave. Each part writes a log
# of its own (build/ci/<part>.log), printed whole when the part ends, so the
# lanes' output never interleaves.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

CI_DIR="$ROOT/build/ci"
RUN_START=$SECONDS

# Whatever way the run ends (interrupts included), the build lane, the
# fixture managers of the Windows suites and the Wine server the run started
# are stopped.
BUILD_LANE=""
NATIVE_LANE=""
WINE_STARTED=0
FIXTURE_STATES=()
cleanup() {
    local lane
    for lane in $BUILD_LANE $NATIVE_LANE; do
        kill -- -"$lane" 2>/dev/null || kill "$lane" 2>/dev/null || true
        wait "$lane" 2>/dev/null || true
    done
    BUILD_LANE="" NATIVE_LANE=""
    cleanup_wine  # defined below, with the Windows lane
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# --- Parts -----------------------------------------------------------------
# part <id> <name> <command...>: runs one part with its output in its log,
# then prints the log and records the part's outcome in build/ci/<id>.result:
# "<status> <seconds> <passed> <failed> <skipped> <name>". A part's command
# adds test counts to its own result through PART_COUNTS (see count_ctest).
PART_COUNTS=""
part() {
    local id="$1" name="$2" start=$SECONDS status
    shift 2
    PART_COUNTS="$CI_DIR/$id.counts"
    : >"$PART_COUNTS"
    "$@" >"$CI_DIR/$id.log" 2>&1
    status=$?
    local passed=0 failed=0 skipped=0 p f s
    while read -r p f s; do
        passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
    done <"$PART_COUNTS"
    echo "$status $((SECONDS - start)) $passed $failed $skipped $name" >"$CI_DIR/$id.result"
    show_log "$id" "$name" "$status"
    return $status
}

# Prints a part's log, one part at a time.
show_log() {
    (
        flock -w 600 9
        echo
        echo "=== $2 ($(sed -E 's/^[0-9]+ ([0-9]+) .*/\1/' "$CI_DIR/$1.result")s, exit $3) ==="
        cat "$CI_DIR/$1.log"
    ) 9>"$CI_DIR/output.lock"
}

# not_run <id> <name> <reason>: a part that could not run counts as failed.
not_run() {
    echo "1 0 0 0 0 $2 (not run: $3)" >"$CI_DIR/$1.result"
    (flock -w 600 9; echo; echo "=== $2: not run: $3 ===") 9>"$CI_DIR/output.lock"
}

# count_ctest <log>: adds a ctest run's totals ("... N tests failed out of M",
# which counts skipped tests as passed; they are listed under "The following
# tests did not run" as "(Skipped)") to the part's counts.
count_ctest() {
    local line failed total skipped
    skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$1")
    line=$(grep -E 'tests? failed out of [0-9]+' "$1" | tail -1)
    [ -n "$line" ] || return 0
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
    total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
    echo "$((total - failed - skipped)) $failed $skipped" >>"$PART_COUNTS"
}

# --- Build lane ----------------------------------------------------------------
# Each build leaves build/ci/<preset>.built when it succeeded, or .failed
# when it did not (what did build is still tested: one broken file does not
# hide the state of everything else).
build_preset() {  # <preset> [targets...]
    local preset="$1" status=0
    shift
    cmake --preset "$preset" >/dev/null || return 1
    cmake --build --preset "$preset" -j2 ${1:+--target "$@"} -- -k 0 || status=1
    return $status
}

build_step() {  # <preset> <name> <command...>
    local preset="$1"
    shift
    if part "build-$preset" "$@"; then
        touch "$CI_DIR/$preset.built"
    else
        touch "$CI_DIR/$preset.failed"
        return 1
    fi
}

build_lane() {
    build_step debug "build: native debug" build_preset debug
    # Windows first, its suites being the longest: FFmpeg and pugixml (cached
    # after the first run), then both bitnesses.
    if build_step windows-ffmpeg "windows ffmpeg" bash scripts/build-ffmpeg-windows.sh &&
        build_step windows-pugixml "windows pugixml" bash scripts/build-pugixml-windows.sh; then
        build_step win32 "build: win32" build_preset win32
        build_step win64 "build: win64" build_preset win64
    fi
    build_step asan "build: native asan+ubsan" build_preset asan
    build_step tsan "build: native tsan" build_preset tsan
    if [ -f "$CI_DIR/windows-pugixml.built" ]; then
        build_step package "build: windows packages" bash scripts/package-windows.sh
    fi
    build_step fuzz "build: fuzz targets" build_preset fuzz
    # Clang with its lock-contract checks (-Wthread-safety, as errors): a
    # compile-time analysis, so the build is the check.
    build_step clang-tsa "clang lock checks" build_preset clang-tsa
    touch "$CI_DIR/lane.done"
}

# wait_built <preset>: true once the build lane built it; false when it
# failed or the lane ended without it.
wait_built() {
    while :; do
        [ -f "$CI_DIR/$1.built" ] && return 0
        [ -f "$CI_DIR/$1.failed" ] && return 1
        [ -f "$CI_DIR/lane.done" ] && return 1
        sleep 2
    done
}

# --- Test lane ------------------------------------------------------------
suite() {  # <preset> <ctest jobs>
    local log status
    log=$(mktemp)
    ctest --preset "$1" -j"$2" --no-tests=error 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    count_ctest "$log"
    rm -f "$log"
    [ -f "$CI_DIR/$1.built" ] || { echo "--- $1: the build failed; what did build was tested"; return 1; }
    return $status
}

# The debug build's quick test programs under valgrind's memory checker (the
# stream, fault and soak suites, minutes long there, are left to the
# sanitizer builds). glibc's AVX2 wide-string routines read past the end in
# ways valgrind reports falsely; they are switched off for this run.
valgrind_suite() {
    local failed=0 name exe filter passed=0 bad=0 wrap
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
            passed=$((passed + 1))
        else
            echo "  $name: FAILED (build/valgrind-$name.log)"
            tail -30 "build/valgrind-$name.log"
            bad=$((bad + 1))
            failed=1
        fi
    done
    echo "$passed $bad 0" >>"$PART_COUNTS"
    return $failed
}

# The Windows packages, installed as a user would in a prefix of their own;
# the test prints "package: N passed, M failed, K skipped".
package_suite() {
    local log status passed failed skipped
    log=$(mktemp)
    bash scripts/test-windows-package.sh 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    read -r passed failed skipped < <(sed -n -E 's/^package: ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped$/\1 \2 \3/p' "$log")
    rm -f "$log"
    echo "${passed:-0} ${failed:-0} ${skipped:-0}" >>"$PART_COUNTS"
    return $status
}

test_native() {  # <preset> <name> <ctest jobs>
    if wait_built "$1" || [ -d "build/$1" ]; then
        part "test-$1" "$2" suite "$1" "$3"
    else
        not_run "test-$1" "$2" "its build failed"
    fi
}

native_lane() {
    test_native debug "native debug" 2
    if [ -d build/debug ]; then
        part valgrind "native valgrind" valgrind_suite
    else
        not_run valgrind "native valgrind" "the debug build failed"
    fi
    test_native asan "native asan+ubsan" 2
    test_native tsan "native tsan" 2
    # The fuzz targets, each fuzzed briefly from its corpus (scripts/fuzz.sh runs them longer).
    test_native fuzz "fuzz (short runs)" 2
}

# Windows: one fresh prefix runs both bitnesses' tests. Each bitness's window
# tests run on an installed layout of both builds, as the setup program
# leaves it: both are built before either is tested. The window tests run on
# a virtual display (Debian's Xvfb) that their runner, scripts/wine-gui-run.sh,
# starts for each and stops by its pid. The packages are then installed in a
# prefix of their own.
windows_lane() {
    local windows_ready=1 preset
    wait_built debug && wait_built win32 && wait_built win64 || windows_ready=0
    if [ $windows_ready = 1 ]; then
        WINE_STARTED=1
        part wine-prefix "wine prefix" bash scripts/wine-prefix.sh --fresh --serve || windows_ready=0
    fi
    for preset in win32 win64; do
        if [ $windows_ready = 1 ]; then
            # The managers ctest starts (the camera suite and the fault matrix
            # share one, the module stream tests have their own).
            FIXTURE_STATES+=("$ROOT/build/$preset/tests/fixtures/fixture_manager.state"
                             "$ROOT/build/$preset/tests/module/fixture_manager.state")
            # One test at a time: under Wine the tests share one real registry.
            part "test-$preset" "$preset (wine)" suite "$preset" 1
        else
            not_run "test-$preset" "$preset (wine)" "FFmpeg, pugixml, a Windows build or the Wine prefix failed"
        fi
    done
    cleanup_wine
    if wait_built package; then
        part test-package "windows package" package_suite
    else
        not_run test-package "windows package" "the packages were not built"
    fi
}

cleanup_wine() {
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

# --- The run -----------------------------------------------------------------
summary() {
    local f status took passed failed skipped name any_failed=0
    local total_passed=0 total_failed=0 total_skipped=0 failed_parts=0
    echo
    echo "=== Summary ==="
    for f in $(ls -tr "$CI_DIR"/*.result 2>/dev/null); do
        read -r status took passed failed skipped name <"$f"
        local skips=""
        [ "$skipped" = 0 ] || skips="  ($skipped skipped)"
        if [ "$status" = 0 ]; then
            printf '  %-26s passed  %4ds%s\n' "$name" "$took" "$skips"
        else
            printf '  %-26s FAILED  %4ds%s\n' "$name" "$took" "$skips"
            any_failed=1
            failed_parts=$((failed_parts + 1))
        fi
        total_passed=$((total_passed + passed))
        total_failed=$((total_failed + failed))
        total_skipped=$((total_skipped + skipped))
    done
    echo "  total $((SECONDS - RUN_START))s"
    # A failed part that ran no test (an install, a build) counts as a failure too.
    [ $any_failed = 1 ] && [ $total_failed = 0 ] && total_failed=$failed_parts
    local skipped_text=""
    [ $total_skipped = 0 ] || skipped_text=", $total_skipped skipped"
    echo "tests: $total_passed passed, $total_failed failed$skipped_text"
    exit $any_failed
}

rm -rf "$CI_DIR"
mkdir -p "$CI_DIR"

if ! part dependencies "dependencies" bash scripts/install-deps.sh --windows; then
    summary
fi

# The build lane and the native suites' lane each in a process group of its
# own, so that cleanup stops all of them; the Windows lane runs here, where
# cleanup knows its fixture managers and Wine server.
set -m
build_lane &
BUILD_LANE=$!
native_lane &
NATIVE_LANE=$!
set +m
windows_lane
wait "$NATIVE_LANE" 2>/dev/null
NATIVE_LANE=""
wait "$BUILD_LANE" 2>/dev/null
BUILD_LANE=""
summary

#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, ASan, UBSan)
# and fuzzes each for the given number of seconds (default 60), one after
# the other, starting from its seed corpus in fuzz/corpus/<target>. New
# inputs go to build/fuzz/fuzz/work/<target>; a finding (crash, sanitizer
# report, failed check, hang over 10 s, memory over 2 GB) is written to
# build/fuzz/fuzz/findings/ and ends that target's run. Prints executions
# and findings per target; fails when any target found something.
#   fuzz.sh [seconds] [target...]     targets: registry_format settings
#                                     text reg_file frame_store pin_types camera
#                                     onvif_probe_match onvif_clock onvif_services
#                                     onvif_profiles onvif_stream_uri
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

SECONDS_EACH="${1:-60}"
shift || true
case "$SECONDS_EACH" in
    ''|*[!0-9]*) echo "usage: $0 [seconds] [target...]" >&2; exit 2 ;;
esac
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(registry_format settings text reg_file frame_store pin_types camera
                                      onvif_probe_match onvif_clock onvif_services onvif_profiles onvif_stream_uri)

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz -j2 || exit 1

OUT=build/fuzz/fuzz
mkdir -p "$OUT/findings" "$OUT/logs"
declare -a LINES=()
FOUND=0
for target in "${TARGETS[@]}"; do
    program="$OUT/fuzz_$target"
    [ -x "$program" ] || { echo "no fuzz target '$target'" >&2; exit 2; }
    mkdir -p "$OUT/work/$target"
    log="$OUT/logs/$target.log"
    before=$(ls "$OUT/findings" | grep -c "^$target-" || true)
    echo "=== $target: ${SECONDS_EACH}s"
    # The run itself is bounded twice: libFuzzer's own limit and a kill
    # after a minute more (a hang inside a single input).
    timeout --signal=KILL $((SECONDS_EACH + 60)) "$program" -max_total_time="$SECONDS_EACH" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$OUT/findings/$target-" \
        "$OUT/work/$target" "fuzz/corpus/$target" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    after=$(ls "$OUT/findings" | grep -c "^$target-" || true)
    findings=$((after - before))
    if [ $status != 0 ] && [ $findings = 0 ]; then findings=1; fi  # killed or failed without an artifact
    if [ $findings != 0 ]; then
        FOUND=1
        grep -m1 -E "ERROR: |fuzz check failed|runtime error|deadly signal|timeout" "$log" || true
        echo "    log: $log"
    fi
    LINES+=("$(printf '%-16s %12s runs %8s/s  findings %d' "$target" "${runs:-?}" "${rate:-?}" "$findings")")
done

echo
echo "=== Fuzzing, ${SECONDS_EACH}s per target"
for line in "${LINES[@]}"; do echo "  $line"; done
[ $FOUND = 0 ] || echo "findings in $OUT/findings/ (logs in $OUT/logs/)"
exit $FOUND

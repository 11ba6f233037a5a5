#!/usr/bin/env bash
# The whole test run: installs what it needs, then builds and tests every
# target (native debug, ASan+UBSan, TSan). Prints one summary and fails if any
# part failed.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"

bash scripts/install-deps.sh || { echo "dependency install failed"; exit 1; }

declare -a RESULTS=()
FAILED=0

run_native() {
    local preset="$1"
    echo "=== $preset: configure, build, test ==="
    if cmake --preset "$preset" >/dev/null &&
       cmake --build --preset "$preset" -j2 &&
       ctest --preset "$preset" -j2; then
        RESULTS+=("$preset: passed")
    else
        RESULTS+=("$preset: FAILED")
        FAILED=1
    fi
}

run_native debug
run_native asan
run_native tsan

echo
echo "=== Summary ==="
for r in "${RESULTS[@]}"; do echo "  $r"; done
exit $FAILED

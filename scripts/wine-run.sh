#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix; the cross toolchains'
# emulator, so ctest runs every Windows test through it.
#   wine-run.sh [--dll-dir DIR]... [--] program.exe [args...]
# DLL directories (FFmpeg's) go on the program's search path. The exit code is
# the program's.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

dll_dirs=()
while [ $# -gt 0 ]; do
    case "$1" in
        --dll-dir) dll_dirs+=("$2"); shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--dll-dir DIR]... [--] program.exe [args...]" >&2; exit 2; }

# Made by the test script once a run; made here when someone runs ctest alone.
[ -f "$WINEPREFIX/.oculo-ready" ] || bash "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh"

oculo_wine_session

# Wine reads WINEPATH as Windows paths separated by ';' (Z: is the Unix root).
winepath=""
for d in "${dll_dirs[@]}"; do
    [ -d "$d" ] || continue
    winepath+="${winepath:+;}Z:${d//\//\\}"
done
export WINEPATH="$winepath${WINEPATH:+;$WINEPATH}"

exec wine "$@"

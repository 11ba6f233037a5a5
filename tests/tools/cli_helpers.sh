# What the command-line tests share, sourced: checks counted in $failures, a
# bounded poll, and loopback cameras (mjpeg_server.py). The sourcing script
# sets work (its scratch folder), camera_server (the fixture's path) and
# camera_lifetime (seconds) first, and calls stop_cameras when it ends.
failures=0
check() {  # check WHAT COMMAND...: the command must succeed
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
within() {  # within TENTHS COMMAND...: the command succeeds, polled for up to TENTHS tenths of a second
    local i
    for ((i = $1; i > 0; i--)); do "${@:2}" && return 0; sleep 0.1; done
    "${@:2}"
}
ended() { ! kill -0 "$1" 2>/dev/null; }  # ended PID
cameras=()
serve() {  # serve VAR ARGS...: a loopback camera (ARGS for it); its port in VAR once it says it listens
    local var=$1 out="$work/camera${#cameras[@]}.out" port="" i; shift
    /usr/bin/python3 "$camera_server" --lifetime "$camera_lifetime" "$@" >"$out" 2>&1 &
    cameras+=($!)
    for i in $(seq 300); do  # up to 30 s
        port=$(awk '/^PORT /{print $2; exit}' "$out")
        [ -n "$port" ] && break
        sleep 0.1
    done
    printf -v "$var" '%s' "$port"
    [ -n "$port" ]
}
stop_cameras() {
    local pid
    for pid in "${cameras[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
}

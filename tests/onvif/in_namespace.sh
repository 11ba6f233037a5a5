#!/usr/bin/env bash
# Runs a command in a network namespace of its own, where loopback is the
# only adapter and carries multicast: what sends camera searches runs here,
# so that no probe ever reaches a real network. Fails, never falls back to
# the machine's network, when the namespace cannot be made.
#   in_namespace.sh COMMAND [ARGS...]
set -uo pipefail
exec unshare -rn bash -c '
    ip link set lo up && ip route add 239.0.0.0/8 dev lo src 127.0.0.1 ||
        { echo "FAILED: the network namespace could not be set up"; exit 1; }
    [ "$(ip -o link show | grep -vc ": lo:")" = 0 ] || { echo "FAILED: the namespace has other adapters"; exit 1; }
    exec "$@"' in_namespace "$@"

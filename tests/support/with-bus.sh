#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a private D-Bus bus of its own and fails when none can be started.
#   with-bus.sh --session|--system command [args…]
# Either bus lets anyone own any name (a stand-in desktop portal, login manager or
# keyboard-lock service among them) and activates nothing; the command finds it through
# DBUS_SESSION_BUS_ADDRESS or DBUS_SYSTEM_BUS_ADDRESS.
set -u

case "${1:-}" in
--session) kind=session socket=bus ;;
--system) kind=system socket=system_bus_socket ;;
*)
    echo "with-bus: the first argument is --session or --system, not '${1:-}'" >&2
    exit 1
    ;;
esac
shift

if ! command -v dbus-daemon >/dev/null 2>&1; then
    echo "with-bus: dbus-daemon is not installed (apt-get install dbus-daemon)" >&2
    exit 1
fi

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
mkfifo "$work/address"

dbus-daemon --nofork --config-file="$here/$kind-bus.conf" \
    --address="unix:path=$work/$socket" --print-address=3 \
    3>"$work/address" 2>"$work/dbus.log" &
daemon=$!
cleanup() {
    kill "$daemon" 2>/dev/null
    wait "$daemon" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if ! read -r -t 15 address <"$work/address" || [ -z "$address" ]; then
    echo "with-bus: the $kind bus's dbus-daemon did not start:" >&2
    cat "$work/dbus.log" >&2
    exit 1
fi
if [ "$kind" = session ]; then
    export DBUS_SESSION_BUS_ADDRESS="$address"
else
    export DBUS_SYSTEM_BUS_ADDRESS="$address"
fi

"$@"

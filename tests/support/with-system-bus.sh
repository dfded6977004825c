#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command with a private system bus of its own and fails when none can be started.
#   with-system-bus.sh command [args…]
# The bus lets anyone own any name (a stand-in login manager among them); the command
# finds it through DBUS_SYSTEM_BUS_ADDRESS.
set -u

if ! command -v dbus-daemon >/dev/null 2>&1; then
    echo "with-system-bus: dbus-daemon is not installed (apt-get install dbus-daemon)" >&2
    exit 1
fi

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
mkfifo "$work/address"

dbus-daemon --nofork --config-file="$here/system-bus.conf" \
    --address="unix:path=$work/system_bus_socket" --print-address=3 \
    3>"$work/address" 2>"$work/dbus.log" &
daemon=$!
cleanup() {
    kill "$daemon" 2>/dev/null
    wait "$daemon" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if ! read -r -t 15 address <"$work/address" || [ -z "$address" ]; then
    echo "with-system-bus: dbus-daemon did not start:" >&2
    cat "$work/dbus.log" >&2
    exit 1
fi
export DBUS_SYSTEM_BUS_ADDRESS="$address"

"$@"

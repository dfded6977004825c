#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One Tavimo per session, run on a private session bus and an Xvfb of its own: a second
# launch brings the first forward (focus and startup notification) and ends with status 0;
# without a session bus every launch runs on its own. Nothing is printed either way.
#   single-instance-test.sh <tavimo executable>
set -uo pipefail
tavimo=$1
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
export XDG_RUNTIME_DIR=$work
windows_of() { xdotool search --all --pid "$1" --onlyvisible --name Tavimo 2>/dev/null; }
wait_for_window() {
    for _ in $(seq 1 200); do
        [ -n "$(windows_of "$1")" ] && return 0
        sleep 0.05
    done
    return 1
}
start_tavimo() { # log-name → pid in $started
    "$tavimo" 2>"$work/$1.err" &
    started=$!
    pids+=("$started")
}

# --- A second launch hands over -----------------------------------------------------
start_tavimo first
first=$started
wait_for_window "$first" || fail "the first Tavimo showed no window"
main=$(windows_of "$first" | head -1)
# Another program's window takes the keyboard focus.
xmessage -geometry 300x80+900+600 "another program" 2>/dev/null &
pids+=($!)
for _ in $(seq 1 100); do
    other=$(xdotool search --class Xmessage 2>/dev/null | head -1)
    [ -n "$other" ] && break
    sleep 0.05
done
xdotool windowfocus "$other" 2>/dev/null
[ "$(xdotool getwindowfocus)" = "$main" ] && fail "could not move the focus away from Tavimo"
xev -root -event property >"$work/root-events" 2>/dev/null &
pids+=($!)
sleep 0.3

# What the second launch tells the first: both of its launcher's tokens.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Application',member='Activate'" \
    >"$work/activate-calls" 2>/dev/null &
pids+=($!)
sleep 0.3

SECONDS=0
DESKTOP_STARTUP_ID="second-launch_TIME0" XDG_ACTIVATION_TOKEN="second-launch-token" \
    "$tavimo" 2>"$work/second.err"
status=$?
[ "$status" = 0 ] || fail "the second launch ended with status $status"
[ "$SECONDS" -le 5 ] || fail "the second launch took $SECONDS s"
sleep 0.5
[ "$(windows_of "$first" | wc -l)" = 1 ] || fail "the first Tavimo has $(windows_of "$first" | wc -l) windows"
[ "$(xdotool getwindowfocus)" = "$main" ] || fail "the first Tavimo's window did not get the focus"
grep -q "_NET_STARTUP_INFO_BEGIN" "$work/root-events" ||
    fail "the second launch's startup notification was not ended"
grep -A1 '"desktop-startup-id"' "$work/activate-calls" | grep -q '"second-launch_TIME0"' ||
    fail "Activate did not carry the startup id"
grep -A1 '"activation-token"' "$work/activate-calls" | grep -q '"second-launch-token"' ||
    fail "Activate did not carry the activation token"
# A launch from a terminal (no startup id) brings it forward too.
xdotool windowfocus "$other" 2>/dev/null
env -u DESKTOP_STARTUP_ID "$tavimo" 2>>"$work/second.err" || fail "a terminal launch failed"
sleep 0.5
[ "$(xdotool getwindowfocus)" = "$main" ] || fail "a terminal launch did not bring Tavimo forward"
kill "$first"
wait "$first" 2>/dev/null

# --- No session bus: each launch on its own --------------------------------------------
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus-here"
start_tavimo alone1
alone1=$started
start_tavimo alone2
alone2=$started
wait_for_window "$alone1" && wait_for_window "$alone2" ||
    fail "without a session bus, not both launches showed a window"
kill "$alone1" "$alone2"
wait "$alone1" "$alone2" 2>/dev/null

for log in first second alone1 alone2; do
    [ -s "$work/$log.err" ] && fail "$log printed: $(cat "$work/$log.err")"
done
[ "$failures" = 0 ] || exit 1
echo "one instance per session: all checks passed"

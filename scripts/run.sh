#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds Tavimo and starts it.
#
# In a desktop session ($DISPLAY or $WAYLAND_DISPLAY set) Tavimo simply opens.
# With no display at all it runs on a virtual X server with two monitors, locks and
# unlocks the keyboard by clicking its buttons, types into a small text window while
# locked and after, and writes screenshots of each step. The build's output goes to a
# log file, named only when the build fails.
#   TAVIMO_BUILD_DIR     the build folder (default: build)
#   TAVIMO_SCREENSHOTS   where the screenshots go (default: <build folder>/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(realpath -m "${TAVIMO_BUILD_DIR:-build}")
program="$build/src/app/tavimo"

# --- The demonstration, on the virtual display that with-xvfb.sh provides ---------

say() { echo "tavimo: $*"; }
die() {
    echo "tavimo: $*" >&2
    exit 1
}

# Visible top-level windows of a process.
windows_of() { xdotool search --all --pid "$1" --onlyvisible --name Tavimo 2>/dev/null || true; }

wait_for_window_count() { # pid count
    for _ in $(seq 1 200); do
        [ "$(windows_of "$1" | wc -l)" = "$2" ] && return 0
        sleep 0.05
    done
    return 1
}

# Centre y, within the window, of the lowest accent-blue band at least 30 pixels tall
# in the window's middle column: the window's push button.
find_blue_button_y() { # png x top height
    convert "$1" -crop "1x$4+$2+$3" +repage -depth 8 txt:- |
        sed -nE 's/^0,([0-9]+): \(([0-9]+),([0-9]+),([0-9]+).*/\1 \2 \3 \4/p' |
        awk '$4 > 180 && $2 < 120 && $4 - $2 > 100 { print $1 }' |
        awk 'NR == 1 { s = $1; p = $1; next }
             $1 <= p + 6 { p = $1; next }
             { if (p - s >= 30) best = int((s + p) / 2); s = $1; p = $1 }
             END { if (NR && p - s >= 30) best = int((s + p) / 2); if (best) print best }'
}

# WIDTHxHEIGHT+X+Y of a monitor that xrandr knows by name.
monitor_geometry() { # name
    xrandr --listmonitors |
        sed -nE "s#^ *[0-9]+: [+*]*$1 ([0-9]+)/[0-9]+x([0-9]+)/[0-9]+\+([0-9]+)\+([0-9]+).*#\1x\2+\3+\4#p"
}

click_button_of() { # window name-for-messages
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root "$shots/.scan.png"
    local y= dx
    # Large text can cross the middle column with white letters: look beside it too.
    for dx in 0 -100 100 -60 60 -130 130; do
        y=$(find_blue_button_y "$shots/.scan.png" $((X + WIDTH / 2 + dx)) "$Y" "$HEIGHT")
        [ -z "$y" ] || break
    done
    rm -f "$shots/.scan.png"
    [ -n "$y" ] || die "could not find the $2 button on screen"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + y)) click 1
}

# Key presses that reached the window whose xev output is in the file, so far.
key_presses_in() { grep -c '^KeyPress event' "$1" || true; }

# Types into a window through the X server's own input, as a keyboard would.
type_into() { # window text
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    xdotool type --delay 20 "$2"
    sleep 0.3
}

runtime=
helpers=()
finish() {
    local p
    for p in "${helpers[@]}"; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    if [ -n "$runtime" ]; then
        # Portals activated for this session: only those that run in its runtime folder.
        for p in $(pgrep -f 'xdg-(desktop|document)-portal|xdg-permission-store' || true); do
            tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null |
                grep -qx "XDG_RUNTIME_DIR=$runtime" && kill "$p" 2>/dev/null || true
        done
        # The document portal mounts its store here; rm cannot remove a mount point.
        fusermount -u -z "$runtime/doc" 2>/dev/null || true
        rm -rf "$runtime" 2>/dev/null || true
    fi
}

demonstrate() {
    shots=${TAVIMO_SCREENSHOTS:-$build/screenshots}
    # A headless root session has no runtime folder; Qt would say so on every start.
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        runtime=$(mktemp -d)
        export XDG_RUNTIME_DIR=$runtime
    fi
    trap finish EXIT
    mkdir -p "$shots"
    rm -f "$shots"/*.png "$shots"/*.txt

    # Two small windows that keys are typed into: xedit shows them, xev counts them.
    local notes="$shots/typed.txt" keys="$shots/keys.txt"
    : >"$notes"
    xedit -geometry 420x160+1960+560 "$notes" 2>/dev/null &
    helpers+=($!)
    xev -geometry 200x100+2400+560 -event keyboard >"$keys" 2>/dev/null &
    helpers+=($!)
    local xedit_window xev_window
    for _ in $(seq 1 100); do
        xedit_window=$(xdotool search --onlyvisible --class Xedit 2>/dev/null | head -1 || true)
        xev_window=$(xdotool search --onlyvisible --name 'Event Tester' 2>/dev/null | head -1 || true)
        [ -n "$xedit_window" ] && [ -n "$xev_window" ] && break
        sleep 0.05
    done
    [ -n "$xedit_window" ] && [ -n "$xev_window" ] || die "the text windows did not open"

    local left right
    left=$(monitor_geometry LEFT)
    right=$(monitor_geometry RIGHT)
    [ -n "$left" ] && [ -n "$right" ] || die "the display has no LEFT and RIGHT monitors"
    local left_size=${left%%+*} right_size=${right%%+*}
    say "starting Tavimo on a virtual display with two monitors (LEFT ${left_size/x/×}, RIGHT ${right_size/x/×})"
    "$program" 2>"$shots/tavimo.log" &
    local pid=$!
    helpers+=("$pid")
    wait_for_window_count "$pid" 1 || die "the main window did not appear (see $shots/tavimo.log)"
    local main
    main=$(windows_of "$pid")
    sleep 0.5 # let the first frame settle
    import -window root "$shots/1-main-window-desktop.png"
    import -window "$main" "$shots/1-main-window.png"

    click_button_of "$main" "Lock keyboard"
    wait_for_window_count "$pid" 3 || die "locking did not cover both monitors (see $shots/tavimo.log)"
    sleep 0.8 # the overlays fade in
    import -window root "$shots/2-locked-both-monitors.png"
    convert "$shots/2-locked-both-monitors.png" -crop "$left" +repage "$shots/2-locked-left.png"
    convert "$shots/2-locked-both-monitors.png" -crop "$right" +repage "$shots/2-locked-right.png"

    type_into "$xedit_window" "typed while locked "
    type_into "$xev_window" "locked"
    local while_locked
    while_locked=$(key_presses_in "$keys")
    [ "$(windows_of "$pid" | wc -l)" = 3 ] || die "the lock ended while keys were typed"

    # The primary monitor's overlay holds the unlock button.
    local overlay
    overlay=$(for w in $(windows_of "$pid"); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "${WIDTH}x$HEIGHT+$X+$Y" = "$left" ] && echo "$w"
    done | head -1)
    [ -n "$overlay" ] || die "no overlay on the LEFT monitor"
    click_button_of "$overlay" "Unlock keyboard"
    wait_for_window_count "$pid" 1 || die "unlocking did not remove the overlays"
    sleep 0.5
    type_into "$xedit_window" "typed after unlock"
    type_into "$xev_window" "free"
    local after_unlock
    after_unlock=$(key_presses_in "$keys")
    import -window root "$shots/3-unlocked.png"
    import -window "$xedit_window" "$shots/3-typed-after-unlock.png"

    finish
    trap - EXIT
    say "locked and unlocked the keyboard"
    say "keys typed into a text window while locked: $while_locked of 6 arrived; after unlock: $((after_unlock - while_locked)) of 4"
    [ "$while_locked" = 0 ] || die "keys reached a program while the keyboard was locked"
    say "screenshots (3-typed-after-unlock.png shows the text window: only what was typed after unlock):"
    for png in "$shots"/*.png; do
        echo "  $png"
    done
}

if [ "${1:-}" = "--demonstrate" ]; then
    demonstrate
    exit 0
fi

# --- Install, build, start ------------------------------------------------------

scripts/install-deps.sh
mkdir -p "$build"
log="$build/build.log"
say "building"
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build "$build" --parallel "$(nproc)" --target tavimo; } >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    die "the build failed; its whole output is in $log"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi
say "no display: running Tavimo on a virtual one"
# A session bus of its own, which starts no desktop service behind the demonstration.
exec tests/support/with-bus.sh --session tests/support/with-xvfb.sh --two-monitors "$0" \
    --demonstrate

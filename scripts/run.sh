#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds Tavimo and starts it.
#
# In a desktop session ($DISPLAY or $WAYLAND_DISPLAY set) Tavimo simply opens.
# With no display at all it runs on a virtual X server with two monitors, locks and
# unlocks the keyboard by clicking its buttons, and writes screenshots of each step.
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
    local y
    y=$(find_blue_button_y "$shots/.scan.png" $((X + WIDTH / 2)) "$Y" "$HEIGHT")
    rm -f "$shots/.scan.png"
    [ -n "$y" ] || die "could not find the $2 button on screen"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + y)) click 1
}

demonstrate() {
    shots=${TAVIMO_SCREENSHOTS:-$build/screenshots}
    # A headless root session has no runtime folder; Qt would say so on every start.
    local runtime=
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        runtime=$(mktemp -d)
        export XDG_RUNTIME_DIR=$runtime
    fi
    mkdir -p "$shots"
    rm -f "$shots"/*.png

    local left right
    left=$(monitor_geometry LEFT)
    right=$(monitor_geometry RIGHT)
    [ -n "$left" ] && [ -n "$right" ] || die "the display has no LEFT and RIGHT monitors"
    local left_size=${left%%+*} right_size=${right%%+*}
    say "starting Tavimo on a virtual display with two monitors (LEFT ${left_size/x/×}, RIGHT ${right_size/x/×})"
    "$program" 2>"$shots/tavimo.log" &
    local pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
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
    import -window root "$shots/3-unlocked.png"

    kill "$pid"
    wait "$pid" 2>/dev/null || true
    trap - EXIT
    [ -z "$runtime" ] || rm -rf "$runtime"
    say "locked and unlocked the keyboard; screenshots:"
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
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target tavimo

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi
say "no display: running Tavimo on a virtual one"
exec tests/support/with-xvfb.sh --two-monitors "$0" --demonstrate

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command on a fresh Xvfb of its own and fails when none can be started.
#   with-xvfb.sh [--two-monitors] [--scale 2] command [args…]
# With --two-monitors the screen is 3200×1080, split into LEFT (1920×1080, primary)
# and RIGHT (1280×1024 at x 1920); otherwise it is one 1920×1080 monitor. With
# --scale 2 every size is doubled and the X resources ask for 192 dpi, as a HiDPI
# desktop does, so that programs draw at twice the pixel density.
set -u

two=0
scale=1
while [ $# -gt 0 ]; do
    case "$1" in
    --two-monitors) two=1 ;;
    --scale)
        case "${2:-}" in
        1 | 2) scale=$2 ;;
        *)
            echo "with-xvfb: --scale takes 1 or 2, not '${2:-}'" >&2
            exit 1
            ;;
        esac
        shift
        ;;
    *) break ;;
    esac
    shift
done
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "with-xvfb: Xvfb is not installed (apt-get install xvfb)" >&2
    exit 1
fi

work=$(mktemp -d)
mkfifo "$work/displayfd"
width=1920
[ "$two" = 1 ] && width=3200
size=$((width * scale))x$((1080 * scale))x24

# -noreset keeps the monitors when the last client disconnects.
Xvfb -displayfd 3 -screen 0 "$size" +extension RANDR -nolisten tcp -noreset \
    3>"$work/displayfd" 2>"$work/xvfb.log" &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if ! read -r -t 15 number <"$work/displayfd" || [ -z "$number" ]; then
    echo "with-xvfb: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$number"
# An X grab stops every client only in an X11 session.
unset WAYLAND_DISPLAY
export XDG_SESSION_TYPE=x11
export QT_QPA_PLATFORM=xcb

if [ "$two" = 1 ]; then
    s=$scale
    # xrandr talks about gamma and sizes as it goes: only a failure is worth showing.
    if ! xrandr --setmonitor '*LEFT' $((1920 * s))/508x$((1080 * s))/286+0+0 screen \
        >>"$work/xrandr.log" 2>&1 ||
        ! xrandr --setmonitor RIGHT $((1280 * s))/338x$((1024 * s))/270+$((1920 * s))+0 none \
            >>"$work/xrandr.log" 2>&1; then
        echo "with-xvfb: could not define two monitors:" >&2
        cat "$work/xrandr.log" >&2
        exit 1
    fi
fi
if [ "$scale" != 1 ] && ! echo "Xft.dpi: $((96 * scale))" | xrdb -merge; then
    echo "with-xvfb: could not set the X resources for scale $scale" >&2
    exit 1
fi

"$@"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command as a Wayland client of a sway of its own, and fails when none can be
# started. Two outputs: 1920×1080 at 0,0 (a blue wallpaper) and 1280×1024 at 1920,0 (an
# orange one); no input devices, no Xwayland.
#   with-sway.sh command [args…]
# sway 1.8 and later run headless (outputs HEADLESS-1 and -2): `swaymsg create_output`
# adds an output (1600×900) and `swaymsg output NAME unplug` takes one away. The outputs of
# a headless sway 1.7 can be added but never taken away ("Cannot disable a headless
# output"), so there a headless sway only hosts a second one, whose outputs (WL-1, -2)
# are windows of the first: killing such a window unplugs that output; TAVIMO_HOST_SWAYSOCK
# names the outer sway's socket then.
# sway refuses to run as root: as root, sway and the command run as the ordinary user
# tavimo-wayland-test, made here when missing. The command sees WAYLAND_DISPLAY and
# SWAYSOCK, and TAVIMO_ARTIFACTS_DIR (a folder of its own, copied back afterwards).
set -u

. "$(dirname "$0")/test-user.sh"
need_tools with-sway "apt-get install sway grim swaybg" sway swaymsg grim swaybg
become_test_user with-sway tavimo-wayland-test
make_work_dir
cat >"$work/host.config" <<'EOF'
xwayland disable
default_border none
output HEADLESS-1 resolution 3840x2160 position 0,0
for_window [title="^wlroots - WL-"] floating enable
for_window [title="^wlroots - WL-1$"] resize set 1920 1080
for_window [title="^wlroots - WL-2$"] resize set 1280 1024
for_window [title="^wlroots - WL-3$"] resize set 1600 900
EOF
cat >"$work/config" <<'EOF'
xwayland disable
default_border none
output WL-1 resolution 1920x1080 position 0,0 bg #2f6fb8 solid_color
output WL-2 resolution 1280x1024 position 1920,0 bg #e08a2c solid_color
output WL-3 resolution 1600x900
output HEADLESS-1 resolution 1920x1080 position 0,0 bg #2f6fb8 solid_color
output HEADLESS-2 resolution 1280x1024 position 1920,0 bg #e08a2c solid_color
output HEADLESS-3 resolution 1600x900
EOF
chmod 644 "$work/host.config" "$work/config"

# sway 1.10 and later draw a nested output only when the outer sway sends it a frame,
# which a headless outer sway with nothing changing never does: nest only where
# outputs cannot be unplugged otherwise.
version=$(sway --version | sed -n 's/^sway version \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
nested=1
if [ -n "$version" ] && { [ "${version% *}" -gt 1 ] || [ "${version#* }" -ge 8 ]; }; then
    nested=0
fi

pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        # runuser stops itself when its sway is stopped (a bench does that) and stays
        # stopped after sway goes on: wake it, or it never hears the TERM.
        kill -CONT "$pid" 2>/dev/null
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    if [ -n "${TAVIMO_ARTIFACTS_DIR:-}" ] && mkdir -p "$TAVIMO_ARTIFACTS_DIR"; then
        cp -r "$work/artifacts/." "$TAVIMO_ARTIFACTS_DIR/" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

environment=(env -i "PATH=$PATH" "HOME=$work/home" "XDG_RUNTIME_DIR=$work/runtime"
    "LANG=C.UTF-8")

# Starts a sway and waits for its new Wayland and IPC sockets: start_sway log config [env…]
start_sway() {
    local log=$1 config=$2
    shift 2
    local before
    before=$(ls "$work/runtime")
    "${as[@]}" "${environment[@]}" WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "$@" \
        sway -c "$config" >"$log" 2>&1 &
    pids+=($!)
    socket=
    ipc=
    for _ in $(seq 100); do
        socket=$(cd "$work/runtime" && ls -d wayland-[0-9] 2>/dev/null | grep -vxF "$before" | head -n 1)
        ipc=$(cd "$work/runtime" && ls -d sway-ipc.*.sock 2>/dev/null | grep -vxF "$before" | head -n 1)
        [ -n "$socket" ] && [ -n "$ipc" ] && return 0
        kill -0 "${pids[-1]}" 2>/dev/null || break
        sleep 0.1
    done
    echo "with-sway: sway did not start:" >&2
    cat "$log" >&2
    return 1
}

host=()
if [ "$nested" = 1 ]; then
    start_sway "$work/host.log" "$work/host.config" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 ||
        exit 1
    host=("TAVIMO_HOST_SWAYSOCK=$work/runtime/$ipc")
    start_sway "$work/sway.log" "$work/config" WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2 \
        "WAYLAND_DISPLAY=$socket" || exit 1
else
    start_sway "$work/sway.log" "$work/config" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 ||
        exit 1
fi
inner=("${as[@]}" "${environment[@]}" "WAYLAND_DISPLAY=$socket" "SWAYSOCK=$work/runtime/$ipc")
# Both outputs at their sizes before the command looks.
sized=0
for _ in $(seq 50); do
    if "${inner[@]}" swaymsg -r -t get_outputs | grep -q '"height": 1024'; then
        sized=1
        break
    fi
    sleep 0.1
done
if [ "$sized" != 1 ]; then
    echo "with-sway: the outputs did not get their sizes:" >&2
    "${inner[@]}" swaymsg -t get_outputs >&2
    exit 1
fi

"${inner[@]}" "${host[@]}" QT_QPA_PLATFORM=wayland \
    "TAVIMO_ARTIFACTS_DIR=$work/artifacts" "$@"
status=$?
if [ "$status" != 0 ]; then
    echo "with-sway: the command ended with status $status; sway's log:" >&2
    tail -n 40 "$work/sway.log" >&2
fi
exit "$status"

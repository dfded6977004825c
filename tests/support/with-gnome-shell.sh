#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a command as a Wayland client of a headless GNOME Shell of its own, and fails when
# none can be started. Two virtual monitors: 1920×1080 (primary, left) and 1280×1024.
#   with-gnome-shell.sh command [args…]
# The shell runs in unsafe mode (a one-line extension of ours sets it), so that the
# command can drive it through org.gnome.Shell.Eval and take screenshots through
# org.gnome.Shell.Screenshot. It gets a private system bus (DBUS_SYSTEM_BUS_ADDRESS,
# where stand-ins may own any name) and a session bus of its own. As root, the shell and
# the command run as the ordinary user tavimo-gnome-test, made here when missing. The
# command sees WAYLAND_DISPLAY, TAVIMO_COMPOSITOR_PID and TAVIMO_ARTIFACTS_DIR (a folder
# of its own, copied back afterwards).
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/test-user.sh"
need_tools with-gnome-shell "apt-get install gnome-shell" \
    gnome-shell gdbus dbus-run-session dbus-daemon gsettings
become_test_user with-gnome-shell tavimo-gnome-test
make_work_dir
mkdir -m 755 "$work/system"

bus=
cleanup() {
    [ -n "$bus" ] && kill "$bus" 2>/dev/null && wait "$bus" 2>/dev/null
    if [ -n "${TAVIMO_ARTIFACTS_DIR:-}" ] && mkdir -p "$TAVIMO_ARTIFACTS_DIR"; then
        cp -r "$work/artifacts/." "$TAVIMO_ARTIFACTS_DIR/" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The system bus: gnome-shell needs one to start at all, and the test's stand-ins live there.
dbus-daemon --nofork --config-file="$here/system-bus.conf" \
    --address="unix:path=$work/system/socket" >/dev/null 2>"$work/system/log" &
bus=$!
for _ in $(seq 50); do
    [ -S "$work/system/socket" ] && break
    sleep 0.1
done
if [ ! -S "$work/system/socket" ]; then
    echo "with-gnome-shell: the system bus did not start:" >&2
    cat "$work/system/log" >&2
    exit 1
fi
chmod 666 "$work/system/socket"

cat >"$work/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
# Inside the session bus: the extension, the shell, then the command.
set -u
version=$(gnome-shell --version | sed 's/[^0-9]*\([0-9]*\).*/\1/')
extension="$HOME/.local/share/gnome-shell/extensions/unsafe@tests.tavimo.app"
mkdir -p "$extension"
printf '{"uuid":"unsafe@tests.tavimo.app","name":"Unsafe mode for tests","description":"tests","shell-version":["%s"]}\n' \
    "$version" >"$extension/metadata.json"
if [ "$version" -ge 45 ]; then
    cat >"$extension/extension.js" <<'JS'
export default class { enable() { global.context.unsafe_mode = true; } disable() {} }
JS
else
    echo 'function init() { return { enable() { global.context.unsafe_mode = true; }, disable() {} }; }' \
        >"$extension/extension.js"
fi
gsettings set org.gnome.shell enabled-extensions "['unsafe@tests.tavimo.app']"
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.desktop.session idle-delay 0
gnome-shell --headless --wayland --no-x11 --wayland-display tavimo-gnome \
    --virtual-monitor 1920x1080 --virtual-monitor 1280x1024 >"$TAVIMO_ARTIFACTS_DIR/gnome-shell.log" 2>&1 &
shell=$!
ready=
for _ in $(seq 150); do
    if gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval \
        'Main.overview.hide(); Main.layoutManager._startingUp ? 0 : 1' 2>/dev/null |
        grep -q "(true, '1')"; then
        ready=1
        break
    fi
    kill -0 "$shell" 2>/dev/null || break
    sleep 0.2
done
if [ -z "$ready" ]; then
    echo "with-gnome-shell: GNOME Shell did not start in unsafe mode:" >&2
    tail -n 40 "$TAVIMO_ARTIFACTS_DIR/gnome-shell.log" >&2
    kill "$shell" 2>/dev/null
    exit 1
fi
# The overview slides away; the notification of unsafe mode goes.
gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval \
    'Main.messageTray._notificationQueue.forEach(n => n.destroy()); Main.overview.hide(); 1' >/dev/null
sleep 1
WAYLAND_DISPLAY=tavimo-gnome TAVIMO_COMPOSITOR_PID=$shell QT_QPA_PLATFORM=wayland "$@"
status=$?
if [ "$status" != 0 ]; then
    echo "with-gnome-shell: the command ended with status $status; the shell's log:" >&2
    grep -v '^dbus-daemon' "$TAVIMO_ARTIFACTS_DIR/gnome-shell.log" | tail -n 30 >&2
fi
kill -CONT "$shell" 2>/dev/null
kill "$shell" 2>/dev/null
wait "$shell" 2>/dev/null
exit "$status"
INSIDE
chmod 755 "$work/inside.sh"

"${as[@]}" env -i "PATH=$PATH" "HOME=$work/home" "XDG_RUNTIME_DIR=$work/runtime" \
    "LANG=C.UTF-8" "WORK=$work" "TAVIMO_ARTIFACTS_DIR=$work/artifacts" \
    "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system/socket" \
    dbus-run-session -- "$work/inside.sh" "$@"

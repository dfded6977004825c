#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix and packs it, then checks the keyboard-lock
# service's installed files: where they are, that systemd, xmllint and dbus-daemon accept
# them, and that the bus policy lets only root own the name while anyone may call the
# service's own interface (and nothing else of it) and receive CanLockChanged.
#   lockd-install-test.sh <build folder> <lockd-fake-host>
# Runs as root: the policy is checked from root and from the user nobody.
set -u # no pipefail: grep -q may close a pipe early
build=$(cd "$1" && pwd)
host_program=$2
work=$(mktemp -d)
chmod 755 "$work" # nobody connects to the bus socket in here
daemon=
host=
cleanup() {
    [ -n "$host" ] && kill "$host" 2>/dev/null
    [ -n "$daemon" ] && kill "$daemon" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
for tool in systemd-analyze xmllint dbus-daemon dbus-send gdbus setpriv cpack dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "lockd-install-test: $tool is not installed" >&2; exit 1; }
done
[ "$(id -u)" = 0 ] || { echo "lockd-install-test: must run as root" >&2; exit 1; }

root=$work/root
cmake --install "$build" --prefix "$root/usr" >/dev/null || { echo "install failed" >&2; exit 1; }
program=$root/usr/libexec/tavimo-lockd
unit=$root/usr/lib/systemd/system/tavimo-lockd.service
activation=$root/usr/share/dbus-1/system-services/app.tavimo.Tavimo.KeyboardLock.service
policy=$root/usr/share/dbus-1/system.d/app.tavimo.Tavimo.KeyboardLock.conf
action=$root/usr/share/polkit-1/actions/app.tavimo.Tavimo.policy
[ -x "$program" ] || fail "no tavimo-lockd in libexec"
for file in "$unit" "$activation" "$policy" "$action"; do
    [ -f "$file" ] || fail "not installed: ${file#"$root"}"
done

# The activation file hands over to the unit, which runs the program from the prefix.
grep -qx "Exec=/usr/libexec/tavimo-lockd" "$activation" || fail "activation file: wrong Exec"
grep -qx "User=root" "$activation" || fail "activation file: not run as root"
grep -qx "SystemdService=tavimo-lockd.service" "$activation" || fail "activation file: no unit"
grep -qx "ExecStart=/usr/libexec/tavimo-lockd" "$unit" || fail "unit: wrong ExecStart"
grep -qx "BusName=app.tavimo.Tavimo.KeyboardLock" "$unit" || fail "unit: wrong BusName"

# systemd reads the unit as it would installed (ExecStart pointed at the scratch copy),
# and finds it hardened.
sed "s|^ExecStart=.*|ExecStart=$program|" "$unit" >"$work/tavimo-lockd.service"
systemd-analyze verify --man=no --recursive-errors=no "$work/tavimo-lockd.service" ||
    fail "systemd-analyze verify rejects the unit"
systemd-analyze security --offline=yes --threshold=15 "$work/tavimo-lockd.service" >/dev/null ||
    fail "unit exposure above 1.5: $(systemd-analyze security --offline=yes "$work/tavimo-lockd.service" | tail -n1)"

xmllint --noout "$policy" || fail "bus policy is not well formed"
dtd=/usr/share/polkit-1/policyconfig-1.dtd
if [ -f "$dtd" ]; then
    xmllint --noout --dtdvalid "$dtd" "$action" || fail "polkit action does not validate"
else
    fail "no $dtd to validate the polkit action against (apt-get install polkitd)"
fi
for expected in "<allow_any>no</allow_any>" "<allow_inactive>no</allow_inactive>" \
    "<allow_active>yes</allow_active>" 'id="app.tavimo.Tavimo.lock-keyboard"'; do
    grep -qF "$expected" "$action" || fail "polkit action lacks $expected"
done

# A bus with the system bus's default policy (nothing owned, no method call allowed, no
# signal received unless a service's policy allows it) plus the installed policy.
cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
  </policy>
  <!-- The test itself plugs devices into the stand-in service. -->
  <policy user="root">
    <allow send_destination="app.tavimo.Tavimo.KeyboardLock"
           send_interface="app.tavimo.Tavimo.Test.FakeDevices"/>
  </policy>
  <include>$policy</include>
</busconfig>
EOF
dbus-daemon --nofork --config-file="$work/bus.conf" 2>"$work/dbus.log" &
daemon=$!
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.05; done
[ -S "$work/bus" ] || { echo "dbus-daemon did not start with the policy:" >&2; cat "$work/dbus.log" >&2; exit 1; }
chmod 666 "$work/bus"

as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
send() { timeout 10 dbus-send --system --print-reply "$@" 2>&1; }
bus_call() { send --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@"; }
service_call() { send --dest=app.tavimo.Tavimo.KeyboardLock "$@"; }
lock_call() { service_call /app/tavimo/Tavimo/KeyboardLock "app.tavimo.Tavimo.KeyboardLock1.$1"; }

own=(org.freedesktop.DBus.RequestName string:app.tavimo.Tavimo.KeyboardLock uint32:0)
nobody_owns=$(as_nobody bash -c "$(declare -f send bus_call); bus_call ${own[*]}")
grep -q AccessDenied <<<"$nobody_owns" ||
    fail "a user other than root may own app.tavimo.Tavimo.KeyboardLock: $nobody_owns"
bus_call "${own[@]}" | grep -q "uint32 1" || fail "root may not own app.tavimo.Tavimo.KeyboardLock"

"$host_program" --idle-exit=0 &
host=$!
for _ in $(seq 100); do
    bus_call org.freedesktop.DBus.NameHasOwner string:app.tavimo.Tavimo.KeyboardLock |
        grep -q "boolean true" && break
    sleep 0.05
done
nobody_can() {
    as_nobody bash -c "$(declare -f send service_call lock_call); $*"
}
# No login manager on this bus: the caller has no session, which CanLock says.
nobody_can lock_call CanLock | grep -q '"session-inactive"' ||
    fail "anyone may not call CanLock: $(nobody_can lock_call CanLock)"
nobody_can service_call /app/tavimo/Tavimo/KeyboardLock org.freedesktop.DBus.Peer.Ping |
    grep -q "method return" || fail "anyone may not ping the service"
nobody_can service_call /app/tavimo/Tavimo/KeyboardLock \
    org.freedesktop.DBus.Introspectable.Introspect | grep -q "CanLockChanged" ||
    fail "anyone may not introspect the service"
nobody_can service_call /app/tavimo/Tavimo/Test/FakeDevices \
    app.tavimo.Tavimo.Test.FakeDevices.GrabbedCount | grep -q AccessDenied ||
    fail "anyone may call interfaces other than the service's own"

# CanLockChanged reaches a client of another user (a pointer plugged changes CanLock).
as_nobody timeout 10 gdbus monitor --system --dest app.tavimo.Tavimo.KeyboardLock \
    --object-path /app/tavimo/Tavimo/KeyboardLock >"$work/signals" 2>&1 &
monitor=$!
sleep 1
service_call /app/tavimo/Tavimo/Test/FakeDevices app.tavimo.Tavimo.Test.FakeDevices.Plug \
    string:mouse boolean:false >/dev/null
for _ in $(seq 100); do grep -q CanLockChanged "$work/signals" && break; sleep 0.05; done
kill "$monitor" 2>/dev/null
grep -q CanLockChanged "$work/signals" ||
    fail "CanLockChanged does not reach other users: $(cat "$work/signals")"

# The Debian package carries the same files.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/tavimo_*_*.deb 2>/dev/null | head -1)
if [ -n "$deb" ]; then
    contents=$(dpkg-deb -c "$deb")
    for path in ./usr/libexec/tavimo-lockd ./usr/lib/systemd/system/tavimo-lockd.service \
        ./usr/share/dbus-1/system-services/app.tavimo.Tavimo.KeyboardLock.service \
        ./usr/share/dbus-1/system.d/app.tavimo.Tavimo.KeyboardLock.conf \
        ./usr/share/polkit-1/actions/app.tavimo.Tavimo.policy; do
        grep -q " $path\$" <<<"$contents" || fail "package lacks $path"
    done
else
    fail "cpack made no Debian package"
fi

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "keyboard-lock service files, bus policy and package: all checks passed"

#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Process 1 of the guest, already on the host's userland: finishes the system (the
# kernel's modules, evdev and uinput, udevd), runs the run folder's
# command, leaves its exit status in the run folder and powers off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8 TERM=dumb
umask 022

for arg in $(</proc/cmdline); do
    case "$arg" in
    tavimo.run=*) run=${arg#tavimo.run=} ;;
    esac
done

say() { echo "guest: $*" >/dev/console; }
finish() {
    echo "$1" >"$run/status"
    sync
    /bin/busybox poweroff -f
}

exec </dev/null >/dev/console 2>&1
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
hostname guest

# The unpacked kernel package's modules, at the path modprobe and udevd look in.
release=$(<"$run/release")
mkdir -p "/lib/modules/$release"
mount --bind "$(<"$run/modules")" "/lib/modules/$release" || {
    say "cannot bind the kernel's modules"
    finish 125
}
for module in evdev uinput; do
    modprobe "$module" || {
        say "modprobe $module failed"
        finish 125
    }
done

# A real udevd, so that programs see devices and hot-plug as on a desktop.
if [ -x /lib/systemd/systemd-udevd ]; then
    mkdir -p /run/udev
    /lib/systemd/systemd-udevd --daemon --resolve-names=never
    udevadm trigger --action=add --subsystem-match=input
    udevadm settle --timeout=60 || say "udevadm settle timed out"
else
    say "systemd-udevd is missing (apt-get install udev)"
    finish 125
fi

timeout=$(<"$run/timeout")
timeout --kill-after=5 "$timeout" bash "$run/command"
status=$?
[ "$status" = 124 ] && say "the command did not end within $timeout s"
finish "$status"

#!/bin/busybox sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The guest's first program: mounts the host's root read-only over 9p under a tmpfs
# overlay, the run folder writable at its own path, and hands over to guest-init.sh.
/bin/busybox --install -s /bin
export PATH=/bin

fail() {
    echo "guest: $*"
    poweroff -f
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

for arg in $(cat /proc/cmdline); do
    case "$arg" in
    tavimo.init=*) guest_init=${arg#tavimo.init=} ;;
    tavimo.run=*) run=${arg#tavimo.run=} ;;
    esac
done
[ -n "$guest_init" ] && [ -n "$run" ] || fail "tavimo.init= and tavimo.run= are needed"

for module in $(cat /modules/order); do
    insmod "/modules/$module" || fail "insmod $module failed"
done

# The host's files do not change while a guest runs: cache them (much faster under
# emulation).
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 hostroot /lower ||
    fail "cannot mount the host's root over 9p"
mount -t tmpfs -o mode=755 tmpfs /upper
mkdir -p /upper/data /upper/work
mount -t overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work overlay /newroot ||
    fail "cannot lay the overlay over the host's root"
# A fresh /run: the host's sockets there are dead ends in here. /tmp stays the host's
# (under the overlay): a build folder may live there.
mount -t tmpfs -o mode=755 tmpfs /newroot/run
mkdir -p "/newroot$run"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 run "/newroot$run" ||
    fail "cannot mount the run folder $run"

mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
mount --move /dev /newroot/dev
exec switch_root /newroot "$guest_init"

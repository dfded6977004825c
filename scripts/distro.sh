#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and tests Tavimo on a newer Debian in a chroot of its own:
#
#     scripts/distro.sh SUITE [COMMAND...]
#
# SUITE is a Debian suite (trixie, unstable, ...). The chroot is made once with mmdebstrap
# and kept outside the clone, in $TAVIMO_DISTROS/SUITE (default /var/cache/tavimo-distros),
# so a second run downloads nothing it already has. The clone's files are copied into the
# chroot's /var/tmp/tavimo/src; without COMMAND it then runs scripts/distro-test.sh there:
# the packages, the build, the whole test suite and the package. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ]; then
    echo "usage: $0 SUITE [COMMAND...]" >&2
    exit 2
fi
suite=$1
shift
if [ "$(id -u)" != 0 ]; then
    echo "$0: needs root (mmdebstrap and chroot)" >&2
    exit 2
fi

distros=${TAVIMO_DISTROS:-/var/cache/tavimo-distros}
root=$distros/$suite
mirror=${TAVIMO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

aptopts=()
case "$suite" in
    # Unstable's index carries a Valid-Until date that a machine with a later clock has passed.
    unstable | sid) aptopts=(--aptopt='Acquire::Check-Valid-Until "false"') ;;
esac

if [ ! -e "$root/.tavimo-complete" ]; then
    command -v mmdebstrap >/dev/null ||
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
            --no-install-recommends mmdebstrap >/dev/null
    mkdir -p "$distros"
    # Made beside its final place and renamed at the end, so an interrupted run leaves no
    # half-made chroot behind that a later run would take for a finished one.
    rm -rf "$root.new"
    mmdebstrap --variant=apt --include=ca-certificates "${aptopts[@]}" \
        "$suite" "$root.new" "deb [signed-by=$keyring] $mirror $suite main"
    rm -rf "$root"
    mv "$root.new" "$root"
    touch "$root/.tavimo-complete"
fi

# The clone's files as they are now, committed or not, without build folders; stamped
# with the time of the copy, or a build folder kept in the chroot would take an edited
# file older than its object for unchanged.
src=$root/var/tmp/tavimo/src
rm -rf "$src"
mkdir -p "$src"
git ls-files -z --cached --others --exclude-standard |
    xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
    tar --null -cf - -T - | tar -xmf - -C "$src"

ccache_dir=${CCACHE_DIR:-/var/cache/ccache-tavimo}
mkdir -p "$ccache_dir" "$root/var/cache/ccache"

if [ $# -eq 0 ]; then
    set -- bash scripts/distro-test.sh
fi

# A mount namespace of its own: nothing mounted here is seen outside or outlives the run.
# wlroots allocates its buffers in /dev/shm, which must be a tmpfs (the host's devtmpfs
# folder there makes headless outputs fall back to 1280×720).
exec unshare -m --propagation private -- /bin/sh -eu -c '
    root=$1 ccache_dir=$2
    shift 2
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
    mount --bind /proc "$root/proc"
    mount --bind /sys "$root/sys"
    mount --bind "$ccache_dir" "$root/var/cache/ccache"
    cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    exec chroot "$root" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
        CCACHE_DIR=/var/cache/ccache CCACHE_BASEDIR=/var/tmp/tavimo CCACHE_NOHASHDIR=true \
        TAVIMO_DISTRO='"$suite"' \
        /bin/sh -c "cd /var/tmp/tavimo/src && exec \"\$@\"" sh "$@"
' sh "$root" "$ccache_dir" "$@"

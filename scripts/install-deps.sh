#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every package that building, running, testing and packaging Tavimo needs, on
# Debian 12, Debian 13 and Debian unstable (names are picked by what the archive offers).
set -euo pipefail

sudo=
if [ "$(id -u)" != 0 ]; then
    sudo=sudo
fi

# A fresh system (or chroot) may not have read the archive's index yet.
if ! apt-cache show --no-all-versions cmake >/dev/null 2>&1; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
fi

# The first of the names the archive has a package for.
first_available() {
    local name
    for name in "$@"; do
        if apt-cache show --no-all-versions "$name" >/dev/null 2>&1; then
            echo "$name"
            return
        fi
    done
    echo "$1"
}

candidate_at_least() { # package version
    local candidate
    candidate=$(apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] &&
        dpkg --compare-versions "$candidate" ge "$2"
}

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev
    libx11-dev libxtst-dev libxcb1-dev libxcb-render0-dev libxcb-xinput-dev
    libxss-dev
    # Wayland: the display plugin, Qt's native interface, the layer-shell protocol code
    qt6-wayland qt6-base-private-dev libwayland-dev libwayland-bin wayland-protocols
    # Qt's own reader of the desktop portal (light and dark), for the appearance tests
    qt6-xdgdesktopportal-platformtheme
    # icon and packages
    icnsutils dpkg-dev file desktop-file-utils build-essential debhelper fakeroot
    # what distributions check packages with, and the manual page reader
    lintian appstream man-db
    # a real X server, monitors, input injection and screenshots for the tests and the demo
    xvfb xauth x11-xkb-utils x11-xserver-utils x11-utils xdotool x11-apps imagemagick
    # compositing managers, for screenshots of the overlays as a composited desktop shows them
    xcompmgr picom
    # a Wayland compositor with screenshots for the tests
    sway swaybg grim
    # GNOME Shell, headless, and gjs with GTK for other programs' windows in its test
    gnome-shell gjs gir1.2-gtk-3.0 libglib2.0-bin
    # switching the virtual mouse off, for the tests of a lock without a pointing device
    xinput
    # the screen-reader test: the accessibility bus and its Python bindings
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    # the stand-in login manager of the tests, the tests' own users, GNOME's settings schemas
    dbus dbus-daemon passwd gsettings-desktop-schemas dbus-bin
    # the keyboard-lock service, and the checks of its installed files
    libsystemd-dev libudev-dev systemd libxml2-utils libglib2.0-bin polkitd
    fonts-dejavu-core
    # tests on a real kernel: qemu boots Debian's kernel package (fetched by the tests with
    # apt-get download, never installed) on this machine's own programs, udevd and mount
    # (no longer installed by itself on unstable) included
    qemu-system-x86 busybox-static cpio kmod xz-utils udev libsystemd-dev mount
)

# Qt's SVG library: renamed by the 64-bit time transition where it was rebuilt.
packages+=("$(first_available libqt6svg6t64 libqt6svg6)")
# KDE's layer-shell library for Qt 6 (Debian 13 on); Debian 12 has it for Qt 5 only, and
# there Tavimo speaks the protocol itself.
if candidate_at_least liblayershellqtinterface-dev 6; then
    packages+=(liblayershellqtinterface-dev)
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

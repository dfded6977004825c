#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian 12 package that building, running and testing Tavimo needs.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libqt6svg6 libgl-dev
    libx11-dev libxtst-dev libxcb1-dev libxcb-render0-dev libxcb-xinput-dev
    libxss-dev
    # Wayland: the display plugin, Qt's native interface, the layer-shell protocol code
    qt6-wayland qt6-base-private-dev libwayland-dev libwayland-bin wayland-protocols
    # icon and packages
    icnsutils dpkg-dev file desktop-file-utils
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
    # the stand-in login manager of the tests
    dbus dbus-daemon dbus-bin
    # the keyboard-lock service, and the checks of its installed files
    libsystemd-dev libudev-dev systemd libxml2-utils libglib2.0-bin polkitd
    fonts-dejavu-core
    # tests on a real kernel: qemu boots Debian's kernel package (fetched by the tests with
    # apt-get download, never installed) on this machine's own programs, udevd included
    qemu-system-x86 busybox-static cpio kmod xz-utils udev libsystemd-dev
)

sudo=
if [ "$(id -u)" != 0 ]; then
    sudo=sudo
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

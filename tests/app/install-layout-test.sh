#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch prefix and packs it as a Debian package, then checks
# that a Linux desktop would find the program, its desktop entry and its icons.
#   install-layout-test.sh <build folder> <application id>
set -euo pipefail
build=$(cd "$1" && pwd)
id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$work/usr" >/dev/null

[ -x "$work/usr/bin/tavimo" ] || fail "no executable in bin"
entry="$work/usr/share/applications/$id.desktop"
if [ -f "$entry" ]; then
    desktop-file-validate "$entry" || fail "desktop entry does not validate"
    grep -qx "Exec=tavimo" "$entry" || fail "desktop entry does not start tavimo"
    grep -qx "Icon=$id" "$entry" || fail "desktop entry does not name the icon $id"
else
    fail "no desktop entry $id.desktop"
fi
for size in 128 256 512; do
    png="$work/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    if [ -f "$png" ]; then
        file "$png" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" ||
            fail "$png: $(file -b "$png")"
    else
        fail "no ${size}x${size} icon"
    fi
done
grep -q "<svg" "$work/usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"

# The package: what it holds and what it needs.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/tavimo_*_*.deb 2>/dev/null | head -1)
if [ -n "$deb" ]; then
    contents=$(dpkg-deb -c "$deb")
    for path in ./usr/bin/tavimo "./usr/share/applications/$id.desktop" \
        "./usr/share/icons/hicolor/scalable/apps/$id.svg"; do
        grep -q " $path\$" <<<"$contents" || fail "package lacks $path"
    done
    depends=$(dpkg-deb -f "$deb" Depends)
    for package in libqt6widgets6 libqt6gui6 libqt6dbus6 libqt6svg6 libx11-6 libwayland-client0 qt6-image-formats-plugins qt6-wayland; do
        grep -q "\b$package\b" <<<"$depends" || fail "package does not depend on $package ($depends)"
    done
else
    fail "cpack made no Debian package"
fi

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "install layout and Debian package: all checks passed"

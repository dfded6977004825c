#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs the build as a Debian package and holds it to what distributions check first:
# lintian, appstreamcli on the metainfo and desktop-file-validate on the desktop entry.
#   package-lint-test.sh <build folder> <application id>
set -euo pipefail
build=$(cd "$1" && pwd)
id=$2
for tool in lintian appstreamcli desktop-file-validate cpack dpkg-deb; do
    command -v "$tool" >/dev/null || {
        echo "FAIL: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null)
deb=$(ls "$work"/package/tavimo_*_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: cpack made no Debian package" >&2; exit 1; }
mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"

# Errors and warnings fail the test. The one warning let through: the package is not
# (yet) uploaded to Debian, so its first changelog entry has no ITP bug to close.
if ! lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs \
    "$deb" >"$work/lintian.txt" 2>&1; then
    fail "lintian: $(grep -E '^[EW]:' "$work/lintian.txt" || cat "$work/lintian.txt")"
fi

appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" \
    >"$work/appstream.txt" 2>&1 || fail "appstreamcli: $(cat "$work/appstream.txt")"
metainfo="$work/root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" ||
    fail "metainfo names no GPL-3.0-or-later licence"
grep -q "<screenshot" "$metainfo" || fail "metainfo has no screenshot"
grep -q "<release version=\"[^\"]*\" date=" "$metainfo" || fail "metainfo has no dated release"

desktop-file-validate "$work/root/usr/share/applications/$id.desktop" ||
    fail "desktop entry does not validate"

# Lintian only informs about missing hardening; the service runs as root, so both
# programs keep a distribution build's read-only relocations and checked buffers.
lintian -I "$deb" >"$work/lintian-info.txt" 2>&1 || true
if grep -E 'hardening-no-(relro|bindnow|pie)|hardening-no-fortify-functions \[usr/libexec' \
    "$work/lintian-info.txt"; then
    fail "hardening lost (lines above)"
fi

# What lintian does not hold against a package but a user would miss.
doc="$work/root/usr/share/doc/tavimo"
grep -q "^License: GPL-3.0-or-later" "$doc/copyright" || fail "copyright file names no licence"
version=$(dpkg-deb -f "$deb" Version)
zcat "$doc/changelog.Debian.gz" | head -1 | grep -q "^tavimo ($version)" ||
    fail "changelog does not start with version $version"
man -l "$work/root/usr/share/man/man1/tavimo.1.gz" 2>&1 | grep -q -- "--version" ||
    fail "manual page does not document --version"
file -b "$work/root/usr/bin/tavimo" | grep -q ", stripped" || fail "binary is not stripped"
description=$(dpkg-deb -f "$deb" Description)
grep -q "Wayland" <<<"$description" || fail "description does not mention Wayland"

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "lintian, appstreamcli and desktop-file-validate: no complaints"

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Inside a chroot made by scripts/distro.sh (or on any Debian, from the top of a clone):
# installs what is needed, builds with warnings as errors, runs the whole test suite, then
# builds the Debian package, installs it and runs the installed tavimo. Each step's time
# goes to the log.
set -euo pipefail
cd "$(dirname "$0")/.."

step_where=$(. /etc/os-release && echo "${PRETTY_NAME:-$ID}")
build=${TAVIMO_BUILD_DIR:-/var/tmp/tavimo/build}
export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache

. scripts/steps.sh

configure() {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIMO_WERROR=ON \
        >"$build.configure.log" || { cat "$build.configure.log"; return 1; }
    grep -i "layer shell\|layer-shell" "$build.configure.log" || true
}

# Tests on a real kernel boot it under qemu; the guest's kernel package stays in the
# chroot's cache between runs.
tests() {
    ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" ${TAVIMO_CTEST_ARGS:-}
}

package() {
    [ -d debian ] || { echo "no debian/ folder: no package"; return 0; }
    local work=/var/tmp/tavimo/package
    rm -rf "$work"
    mkdir -p "$work"
    tar --exclude=./build -cf - . | tar -xf - -C "$work" --one-top-level=tavimo
    (cd "$work/tavimo" && dpkg-buildpackage -us -uc -b) >"$work.log" 2>&1 ||
        { tail -n 60 "$work.log"; return 1; }
    ls "$work"/*.deb
    # Not (yet) uploaded to Debian: its first changelog entry closes no ITP bug.
    lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs \
        "$work"/tavimo_*.deb
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends "$work"/tavimo_*.deb >/dev/null
    dpkg -s tavimo | grep -E '^(Version|Depends):'
    tavimo --version
    dpkg -L tavimo >"$work.files"
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tavimo >/dev/null
    ! dpkg -s tavimo >/dev/null 2>&1 || { echo "tavimo is still installed"; return 1; }
    local left=0 path
    while read -r path; do
        if [ -e "$path" ] && ! [ -d "$path" ]; then
            echo "left behind after purge: $path"
            left=1
        fi
    done <"$work.files"
    [ "$left" = 0 ] && echo "removed: nothing of the package left"
}

mkdir -p "$(dirname "$build")"
step "packages" scripts/install-deps.sh
step "configure" configure
step "build" cmake --build "$build" --parallel "$(nproc)"
status=0
step "tests" tests || status=$?
step "package" package || status=$?
exit "$status"

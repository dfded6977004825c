#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is needed, builds Tavimo and its tests with warnings as errors, and runs
# every test on this machine; then does the same, and builds, installs and runs the Debian
# package, on Debian 13 and Debian unstable, each in a chroot of its own
# (scripts/distro.sh; made on the first run, reused after).
#   scripts/test.sh           all of it (needs root for the chroots)
#   scripts/test.sh --here    this machine only
# TAVIMO_DISTROS_TESTED names the suites to test besides this machine (default "trixie unstable").
# Tests that need an X server start an Xvfb of their own.
set -euo pipefail
cd "$(dirname "$0")/.."

here_only=0
case "${1:-}" in
    --here) here_only=1 ;;
    "") ;;
    *)
        echo "usage: $0 [--here]" >&2
        exit 2
        ;;
esac

step_where="this machine"
. scripts/steps.sh

begin=$(date +%s)
step "packages" scripts/install-deps.sh
command -v ccache >/dev/null 2>&1 &&
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
step "configure" cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIMO_WERROR=ON \
    >/dev/null
step "build" cmake --build build --parallel "$(nproc)"
status=0
step "tests" ctest --test-dir build --output-on-failure --parallel "$(nproc)" || status=$?

if [ "$here_only" = 0 ]; then
    for suite in ${TAVIMO_DISTROS_TESTED:-trixie unstable}; do
        start=$(date +%s)
        echo "=== $suite: chroot, packages, build, tests, package"
        bash scripts/distro.sh "$suite" || status=$?
        echo "=== $suite: $(($(date +%s) - start)) s in all"
    done
fi
echo "=== all: $(($(date +%s) - begin)) s, status $status"
exit "$status"

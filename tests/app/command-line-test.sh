#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line answers and ends without a display, a bus or any environment at all;
# without a display, tavimo says which one it could not open.
#   command-line-test.sh <tavimo executable> <version>
set -uo pipefail
tavimo=$1
version=$2
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# run <args…>: sets out, err and rc, with an empty environment.
run() {
    out=$(env -i "$tavimo" "$@" 2>/tmp/tavimo-cli-err.$$)
    rc=$?
    err=$(cat /tmp/tavimo-cli-err.$$)
    rm -f /tmp/tavimo-cli-err.$$
}

for option in --help -h; do
    run "$option"
    [ "$rc" = 0 ] || fail "$option: exit status $rc"
    grep -q '^Usage: tavimo \[options\]' <<<"$out" || fail "$option: no usage line: $out"
    grep -q -- '--version' <<<"$out" || fail "$option: help does not list --version"
    [ -z "$err" ] || fail "$option wrote to stderr: $err"
done
for option in --version -v "-platform offscreen --version"; do
    # shellcheck disable=SC2086 # the last case is two options
    run $option
    [ "$rc" = 0 ] && [ "$out" = "tavimo $version" ] && [ -z "$err" ] ||
        fail "$option: status $rc, out '$out', err '$err'"
done
# Usage errors: one line on stderr, nothing on stdout, status 2.
for bad in --no-such-option -x stray "-platform"; do
    # shellcheck disable=SC2086
    run $bad
    [ "$rc" = 2 ] || fail "'$bad': exit status $rc"
    [ -z "$out" ] || fail "'$bad' wrote to stdout: $out"
    [ "$(wc -l <<<"$err")" = 1 ] && grep -q '^tavimo: .*tavimo --help' <<<"$err" ||
        fail "'$bad': not one line naming --help: $err"
done
# No display to open, and no Wayland: one line naming the display, status 1, no abort.
for display in :999 garbage ''; do
    out=$(env -i DISPLAY="$display" "$tavimo" 2>&1)
    rc=$?
    [ "$rc" = 1 ] || fail "DISPLAY='$display': exit status $rc (134 is an abort)"
    [ "$(wc -l <<<"$out")" = 1 ] && grep -q "^tavimo: cannot open .*display" <<<"$out" &&
        grep -qF -- "${display:-DISPLAY is empty}" <<<"$out" ||
        fail "DISPLAY='$display': not one line naming the display: $out"
done

[ "$failures" = 0 ] || exit 1
echo "command line: all checks passed"

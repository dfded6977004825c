# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the test scripts. `step NAME COMMAND...` runs COMMAND and says, under the
# name in $step_where (this machine, a distribution), when it starts, how long it took
# and its status, which it returns.

step() { # name command...
    local name=$1 start status=0
    shift
    start=$(date +%s)
    echo "=== $step_where: $name"
    "$@" || status=$?
    echo "=== $step_where: $name: $(($(date +%s) - start)) s, status $status"
    return "$status"
}

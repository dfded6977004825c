# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the wrappers that start a compositor of their own (with-sway.sh,
# with-gnome-shell.sh). Compositors refuse root: as root, the compositor and the command
# run as an ordinary system user of the tests, made when missing.

# need_tools NAME HINT TOOL…: fails, naming the first missing tool and how to get it.
need_tools() {
    local name=$1 hint=$2 tool
    shift 2
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "$name: $tool is not installed ($hint)" >&2
            exit 1
        fi
    done
}

# become_test_user NAME USER: sets `user` to whom the run belongs and `as` to the prefix
# that runs a command as that user (empty when not root).
become_test_user() {
    local name=$1
    as=()
    user=$(id -un)
    if [ "$(id -u)" = 0 ]; then
        user=$2
        if ! id "$user" >/dev/null 2>&1 &&
            ! useradd --system --no-create-home --home-dir /nonexistent \
                --shell /usr/sbin/nologin "$user"; then
            echo "$name: could not create the user $user" >&2
            exit 1
        fi
        as=(runuser -u "$user" --)
    fi
}

# make_work_dir: sets `work` to a new folder with runtime and home (private) and
# artifacts (readable), all belonging to `user`.
make_work_dir() {
    work=$(mktemp -d)
    chmod 755 "$work"
    mkdir -m 700 "$work/runtime" "$work/home"
    mkdir -m 755 "$work/artifacts"
    chown "$user" "$work/runtime" "$work/home" "$work/artifacts"
}

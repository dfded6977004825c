#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Boots Debian's kernel under qemu (software emulation) on the host's own userland and
# runs one command in it as root; exits with the command's status.
#   run-in-guest.sh --guest DIR [--name NAME] [--timeout SECONDS] [--memory MIB]
#                   [--cpus N] -- command [args…]
# DIR is what prepare-guest.sh made. The command sees every host file at its own path
# (read-only, with a throw-away layer on top), runs in the current folder, gets the
# TAVIMO_* variables of this environment and TAVIMO_GUEST_RUN, a folder it may write
# that outlives the guest (DIR/runs/NAME). A guest that does not power off in time is
# killed and the run fails.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
guest=
name=run
timeout=120
memory=1024
cpus=1
while [ $# -gt 0 ]; do
    case "$1" in
    --guest) guest=$2; shift 2 ;;
    --name) name=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --memory) memory=$2; shift 2 ;;
    --cpus) cpus=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "run-in-guest: unknown option $1" >&2; exit 2 ;;
    esac
done
[ $# -gt 0 ] || { echo "run-in-guest: no command given" >&2; exit 2; }

die() {
    echo "run-in-guest: $*" >&2
    exit 1
}
command -v qemu-system-x86_64 >/dev/null ||
    die "qemu-system-x86_64 is missing: apt-get install qemu-system-x86"
guest=$(realpath -m "$guest")
[ -f "$guest/initramfs.cpio.gz" ] && [ -s "$guest/kernel/vmlinux" ] ||
    die "no guest image in '$guest': prepare-guest.sh makes one"

run="$guest/runs/$name"
rm -rf "$run"
mkdir -p "$run/out"
release=$(<"$guest/release")
echo "$release" >"$run/release"
echo "$guest/kernel/lib/modules/$release" >"$run/modules"
echo "$timeout" >"$run/timeout"
{
    echo "cd $(printf %q "$PWD") || exit 125"
    while IFS='=' read -r variable _; do
        echo "export $variable=$(printf %q "${!variable}")"
    done < <(env | grep -E '^TAVIMO_[A-Za-z0-9_]*=' | grep -v '^TAVIMO_GUEST_RUN=')
    echo "export TAVIMO_GUEST_RUN=$(printf %q "$run/out")"
    printf 'exec'
    printf ' %q' "$@"
    echo
} >"$run/command"

# Boot and power-off take a while under emulation on top of the command's own time.
limit=$((timeout + 90))
started=$(date +%s%N)
timeout --kill-after=5 "$limit" qemu-system-x86_64 \
    -machine pc -cpu max -m "$memory" -smp "$cpus" \
    -nodefaults -no-reboot -display none -serial stdio \
    -kernel "$guest/kernel/vmlinux" -initrd "$guest/initramfs.cpio.gz" \
    -append "console=ttyS0 ${TAVIMO_GUEST_KERNEL_ARGS:-quiet loglevel=3} panic=-1 tavimo.init=$here/guest-init.sh tavimo.run=$run" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$run,mount_tag=run,security_model=none,multidevs=remap" \
    </dev/null 2>"$run/qemu.log" | stdbuf -o0 tr -d '\r'
qemu_status=${PIPESTATUS[0]}
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))

if [ "$qemu_status" = 124 ] || [ "$qemu_status" = 137 ]; then
    die "the guest did not power off within $limit s and was killed"
fi
if [ "$qemu_status" != 0 ]; then
    cat "$run/qemu.log" >&2
    die "qemu failed (status $qemu_status)"
fi
if ! [ -s "$run/status" ]; then
    die "the guest stopped without a result (a crash or kernel panic: see its console above)"
fi
status=$(<"$run/status")
printf "run-in-guest: guest ran for %d.%d s, command status %s\n" $((elapsed_ms / 1000)) $((elapsed_ms % 1000 / 100)) "$status"
exit "$status"

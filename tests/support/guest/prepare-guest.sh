#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes what run-in-guest.sh boots: Debian's own kernel and an initramfs that mounts the
# host's userland over 9p.
#   prepare-guest.sh OUTPUT_DIR
# The kernel package is the exact one linux-image-amd64 depends on, fetched once with
# apt-get download into OUTPUT_DIR/cache and unpacked there (never installed on this
# machine). TAVIMO_KERNEL_DEB=/path/to/linux-image-….deb uses a package at hand instead.
set -euo pipefail

out=$(realpath -m "${1:?usage: prepare-guest.sh OUTPUT_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
cache="$out/cache"
mkdir -p "$cache"

die() {
    echo "prepare-guest: $*" >&2
    exit 1
}

for tool in qemu-system-x86_64 cpio gzip xz depmod modprobe dpkg-deb apt-get apt-cache; do
    command -v "$tool" >/dev/null ||
        die "$tool is missing: run scripts/install-deps.sh (packages qemu-system-x86 cpio xz-utils kmod)"
done
busybox=/bin/busybox
# The initramfs has no libraries: only the static busybox runs there.
if ! [ -x "$busybox" ] || ! "$busybox" --help >/dev/null 2>&1 ||
    LC_ALL=C ldd "$busybox" 2>&1 | grep -q '=>'; then
    die "a static /bin/busybox is missing: apt-get install busybox-static"
fi

# --- The kernel package -------------------------------------------------------------

kernel_package() {
    local image binary
    image=$(apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -1)
    # Newer kernels split the image package: the kernel and its modules are in the
    # linux-binary package it depends on.
    binary=$( [ -z "$image" ] || apt-cache depends "$image" 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-binary-[0-9][^ ]*\)$/\1/p' | head -1)
    echo "${binary:-$image}"
}

usable_deb() { dpkg-deb --info "$1" >/dev/null 2>&1; }
# A cut-short or stale download fails the archive's checksum.
matches_archive() { # deb sha256
    [ -f "$1" ] && [ "$(sha256sum "$1" | cut -d' ' -f1)" = "$2" ]
}

# Downloads one package of the archive into the cache (once) and prints its path.
download() { # package
    local package=$1 record version sha256 deb
    record=$(apt-cache show --no-all-versions "$package")
    version=$(sed -n 's/^Version: //p' <<<"$record" | head -1)
    sha256=$(sed -n 's/^SHA256: //p' <<<"$record" | head -1)
    deb="$cache/${package}_${version//:/%3a}_amd64.deb"
    if matches_archive "$deb" "$sha256"; then
        echo "$deb"
        return
    fi
    rm -f "$cache/${package}"_*.deb
    local attempt
    for attempt in 1 2 3; do
        # As root apt cannot hand the download to its sandbox user in a build folder.
        if (cd "$cache" && apt-get download -q -o APT::Sandbox::User=root "$package" >&2) &&
            matches_archive "$deb" "$sha256"; then
            echo "$deb"
            return
        fi
        rm -f "$deb"
        echo "prepare-guest: download of $package failed (attempt $attempt)" >&2
        sleep $((attempt * 2))
    done
    die "could not download $package with apt-get download"
}

fetch_kernel() {
    local package
    package=$(kernel_package)
    if [ -z "$package" ] && [ "$(id -u)" = 0 ]; then
        apt-get update -qq >/dev/null 2>&1 || true
        package=$(kernel_package)
    fi
    [ -n "$package" ] ||
        die "apt knows no linux-image-amd64 package: run apt-get update (Debian's main archive is needed)"
    download "$package"
}

# A split kernel keeps its modules in a package of their own beside linux-binary-*.
fetch_modules() { # kernel package file
    local name modules
    name=$(basename "$1")
    name=${name%%_*}
    case "$name" in
        linux-binary-*) modules="linux-modules-${name#linux-binary-}" ;;
        *) return 0 ;;
    esac
    apt-cache show --no-all-versions "$modules" >/dev/null 2>&1 || return 0
    download "$modules"
}

if [ -n "${TAVIMO_KERNEL_DEB:-}" ]; then
    deb=$TAVIMO_KERNEL_DEB
    usable_deb "$deb" || die "TAVIMO_KERNEL_DEB=$deb is not a readable package"
else
    deb=$(fetch_kernel)
fi
modules_deb=$(fetch_modules "$deb")

# --- Unpacked kernel and modules ----------------------------------------------------

root="$out/kernel"
stamp="$root/.from"
if ! [ -f "$stamp" ] || [ "$(cat "$stamp")" != "$deb $modules_deb" ]; then
    rm -rf "$root"
    mkdir -p "$root"
    dpkg-deb -x "$deb" "$root"
    [ -z "$modules_deb" ] || dpkg-deb -x "$modules_deb" "$root"
    # Newer kernel packages put the modules under /usr/lib/modules: keep them at one
    # place, and have both paths lead there for whichever one this system's kmod reads.
    if ! [ -d "$root/lib/modules" ] && [ -d "$root/usr/lib/modules" ]; then
        mkdir -p "$root/lib"
        mv "$root/usr/lib/modules" "$root/lib/modules"
    fi
    if ! [ -e "$root/usr/lib/modules" ]; then
        mkdir -p "$root/usr/lib"
        ln -s ../../lib/modules "$root/usr/lib/modules"
    fi
    release=$(ls "$root/lib/modules")
    # The package leaves modules.dep to its install scripts.
    depmod -b "$root" "$release"
    echo "$deb $modules_deb" >"$stamp"
fi
release=$(ls "$root/lib/modules")
# A split kernel keeps its image beside its modules.
if ! [ -f "$root/boot/vmlinuz-$release" ] && [ -f "$root/lib/modules/$release/vmlinuz" ]; then
    mkdir -p "$root/boot"
    cp "$root/lib/modules/$release/vmlinuz" "$root/boot/vmlinuz-$release"
fi
[ -f "$root/boot/vmlinuz-$release" ] || die "no kernel image in $deb"
echo "$release" >"$out/release"

# Unpacking the compressed image takes emulated code about 9 s per boot; qemu boots the
# plain ELF kernel inside it directly (PVH entry), so unpack it once here.
unpack_elf() { # bzImage → ELF on stdout
    local offset
    offset=$(grep -abo $'\xfd7zXZ\x00' "$1" | head -1 | cut -d: -f1)
    [ -n "$offset" ] || return 1
    tail -c +$((offset + 1)) "$1" | xz -dc 2>/dev/null
}
if ! [ -s "$root/vmlinux" ] || [ "$root/vmlinux" -ot "$stamp" ]; then
    unpack_elf "$root/boot/vmlinuz-$release" >"$root/vmlinux.new" || true
    if [ "$(head -c 4 "$root/vmlinux.new" | od -An -c | tr -d ' ')" = '177ELF' ]; then
        mv "$root/vmlinux.new" "$root/vmlinux"
    else
        rm -f "$root/vmlinux.new"
        echo "prepare-guest: could not unpack the kernel image; booting it compressed (slower)" >&2
        cp "$root/boot/vmlinuz-$release" "$root/vmlinux"
    fi
fi

# --- The initramfs ------------------------------------------------------------------

staging="$out/initramfs"
rm -rf "$staging"
mkdir -p "$staging"/{bin,dev,proc,sys,modules,lower,upper,newroot}
cp "$busybox" "$staging/bin/busybox"
cp "$here/initramfs-init.sh" "$staging/init"
chmod 755 "$staging/init"

# Only what mounting the host needs goes in; evdev, uinput and the rest load later from
# the unpacked tree, which the guest sees at its own path.
: >"$staging/modules/order"
for module in virtio_pci 9pnet_virtio 9p overlay; do
    # A kernel that builds the module in does not list it where a package leaves out
    # modules.builtin: nothing to load then.
    { modprobe -d "$root" -S "$release" --show-depends "$module" 2>/dev/null || true; } |
        sed -n 's/^insmod \([^ ]*\).*/\1/p' |
        while read -r path; do
            name=$(basename "$path")
            grep -qx "$name" "$staging/modules/order" && continue
            cp "$path" "$staging/modules/$name"
            echo "$name" >>"$staging/modules/order"
        done
done
[ -s "$staging/modules/order" ] || die "no modules found for the initramfs in $root"

(cd "$staging" && find . | LC_ALL=C sort | cpio -o -H newc --quiet | gzip -1) \
    >"$out/initramfs.cpio.gz.new"
mv "$out/initramfs.cpio.gz.new" "$out/initramfs.cpio.gz"
echo "prepare-guest: kernel $release from $(basename "$deb"), modules: $(tr '\n' ' ' <"$staging/modules/order")"

# Sourced by the CI stages that work in a minimal Debian 12 root: make_fresh_root builds one with
# mmdebstrap (as root), and removes it with its mounts on every exit, failures included.

timed() {
    local start=$SECONDS
    echo "== $*" >&2
    "$@"
    echo "== $((SECONDS - start)) s: $*" >&2
}

remove_fresh_root() {
    local status=$?
    for mount_point in "$root/dev/pts" "$root/dev" "$root/proc"; do
        if mountpoint -q "$mount_point"; then umount -l "$mount_point"; fi
    done
    rm -rf --one-file-system "$root"
    [ "$status" -eq 0 ] || echo "== FAILED (exit status $status)"
}

# Sets root to the new root's folder.
make_fresh_root() {
    root="$(mktemp -d /tmp/zq-fresh-root.XXXXXX)"
    trap remove_fresh_root EXIT
    # mmdebstrap wants a target that does not exist or is empty.
    timed mmdebstrap --quiet --variant=apt bookworm "$root" \
        "${ZQ_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mount -t proc proc "$root/proc"
    mount --bind /dev "$root/dev"
    # apt logs its installers' output through a terminal of its own.
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
}

# Runs a shell command inside the root, in FOLDER, with nothing of the caller's environment.
in_root() {
    local folder=$1 command=$2
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        sh -ec "cd $folder && $command"
}

#!/usr/bin/env bash
# Checks a .deb of the game the way a player uses it, in a clean Debian 12 root:
#   - apt-get installs it from the file, resolving its dependencies from the archive;
#   - `tamq --version` answers with the package's version;
#   - the installed game, started from / with SDL's offscreen driver, reaches its first
#     frame and exits 0 on SIGTERM;
#   - apt-get purge leaves no file of the package behind.
#
# Usage: deb_clean_root.sh PACKAGE.deb
# Runs as root (chroot and mounts). The pristine root, made once with
# `debootstrap --variant=minbase`, and the downloaded packages are kept under
# TAMQ_CACHE (default /var/cache/tamq4pelrok), outside the clone, so later runs and fresh
# clones on the same machine only copy it. Every run works on a new copy.
#
# A minbase root has no OpenGL driver: the package's dependencies must bring one.
set -euo pipefail
source "$(dirname "$0")/first_frame.sh"

deb="$(realpath "$1")"
cache="${TAMQ_CACHE:-/var/cache/tamq4pelrok}"
pristine="$cache/bookworm-minbase"
archives="$cache/apt-archives"
mirror="${TAMQ_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

version="$(dpkg-deb -f "$deb" Version)"
package="$(dpkg-deb -f "$deb" Package)"
root=""
mounts=()

fail() { echo "FAIL: $*" >&2; exit 1; }

cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount -l "${mounts[$i]}" 2>/dev/null || true
    done
    # Only remove the copy once nothing of the host is mounted inside it any more.
    if [ -n "$root" ] && ! grep -q " $root/" /proc/mounts; then
        rm -rf "$root"
    fi
}
trap cleanup EXIT

# Debian's PATH for a user: games live in /usr/games.
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin:/usr/games HOME=/root "$@"; }

apt_in_root() { in_root DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"; }

mount_into() {
    mkdir -p "$root$2"
    mount "${@:3}" "$1" "$root$2"
    mounts+=("$root$2")
}

# The pristine root with its package lists, made once and then only copied.
make_pristine() {
    [ -f "$pristine/.complete" ] && return
    tamq_step "making a clean Debian 12 root with debootstrap (once, kept in $pristine)"
    rm -rf "$pristine"
    mkdir -p "$cache"
    debootstrap --variant=minbase bookworm "$pristine" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/debootstrap.log" >&2; fail "debootstrap failed"; }
    echo "deb $mirror bookworm main" >"$pristine/etc/apt/sources.list"
    cp /etc/resolv.conf "$pristine/etc/resolv.conf"
    chroot "$pristine" apt-get update -q >/dev/null
    chroot "$pristine" apt-get clean
    touch "$pristine/.complete"
}

# A fresh copy of the pristine root, with /proc, /dev and a shared package cache.
enter_copy() {
    mkdir -p "$cache/runs" "$archives/partial"
    root="$(mktemp -d "$cache/runs/root.XXXXXX")"
    cp -a "$pristine/." "$root/"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # A throwaway root: dpkg need not sync every file it unpacks.
    echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
    mount_into proc /proc -t proc
    mount_into /dev /dev --bind
    mount_into /dev/pts /dev/pts --bind
    mount_into "$archives" /var/cache/apt/archives --bind
}

# Every file of the package that dpkg knows, as paths inside the root.
package_files() {
    in_root dpkg-query -L "$package" | while IFS= read -r path; do
        if [ -f "$root$path" ] || [ -L "$root$path" ]; then echo "$path"; fi
    done
}

check_install() {
    tamq_step "apt-get install ./$(basename "$deb")"
    cp "$deb" "$root/tmp/"
    apt_in_root install --no-install-recommends "/tmp/$(basename "$deb")" >"$root/tmp/install.log" 2>&1 ||
        { cat "$root/tmp/install.log" >&2; fail "apt-get could not install the package"; }
    rm -f "$root/tmp/$(basename "$deb")"
}

check_version() {
    tamq_step "tamq --version"
    local answer
    answer="$(in_root tamq --version)" || fail "tamq --version failed"
    echo "$answer"
    grep -qF "$version" <<<"$answer" || fail "tamq --version says '$answer', expected version $version"
}

# The game prints one line once its first frame is on screen; SIGTERM must then end it
# like closing its window does.
check_first_frame() {
    tamq_step "the installed game, started from /, reaches its first frame"
    # env carries the offscreen driver's variables into the root; chroot and env exec in
    # turn, so the signal reaches the game itself.
    first_frame_then_sigterm "$root/tmp/game.log" / chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin:/usr/games \
        SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy tamq ||
        fail "the installed game: $first_frame_error"
    cat "$root/tmp/game.log"
}

check_purge() {
    tamq_step "apt-get purge $package"
    local files
    files="$(package_files)"
    [ -n "$files" ] || fail "dpkg lists no file of $package"
    apt_in_root purge "$package" >/dev/null
    local left
    left="$(while IFS= read -r path; do
        if [ -e "$root$path" ] || [ -L "$root$path" ]; then echo "$path"; fi
    done <<<"$files")"
    left+="$(find "$root" -xdev -path "$root/proc" -prune -o -iname '*tamq*' -print | sed "s|^$root||")"
    [ -z "$left" ] || fail "left behind after purge:"$'\n'"$left"
    echo "$(wc -l <<<"$files") files installed, none left after purge"
}

[ "$(id -u)" -eq 0 ] || fail "needs root (chroot and mounts)"
start=$SECONDS
make_pristine
enter_copy
check_install
check_version
check_first_frame
check_purge
echo "clean-root check of $package $version passed in $((SECONDS - start)) s"

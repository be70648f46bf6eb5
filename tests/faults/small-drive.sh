#!/bin/sh
# Maps a small file system as drive T: of the build's Wine session (wine-session.sh), for
# the full-disk test: a 2 MiB tmpfs, which needs root to mount.
#   small-drive.sh mount <build-dir>    small-drive.sh unmount <build-dir>
# When mounting is not permitted the drive is simply missing and the test skips itself;
# this script then still succeeds, so that the other tests run.
set -eu

action=$1
state=$(cd "$2" && pwd)/wine
mountpoint=$state/small-drive

unmount_drive() {
    if [ -f "$state/env" ]; then
        # shellcheck disable=SC1091
        . "$state/env"
        rm -f "$WINEPREFIX/dosdevices/t:"
    fi
    if mountpoint -q "$mountpoint" 2>/dev/null; then
        umount "$mountpoint"
    fi
    [ -d "$mountpoint" ] && rmdir "$mountpoint"
    return 0
}

mount_drive() {
    unmount_drive
    # shellcheck disable=SC1091
    . "$state/env"
    mkdir -p "$mountpoint"
    if ! mount -t tmpfs -o size=2m,mode=0777 tmpfs "$mountpoint" 2>"$state/small-drive.log"; then
        echo "small-drive: cannot mount a tmpfs ($(cat "$state/small-drive.log")); no drive T:"
        rmdir "$mountpoint"
        return 0
    fi
    ln -s "$mountpoint" "$WINEPREFIX/dosdevices/t:"
    echo "small-drive: 2 MiB tmpfs at $mountpoint is drive T:"
}

case $action in
mount) mount_drive ;;
unmount) unmount_drive ;;
*) echo "usage: $0 mount|unmount <build-dir>" >&2; exit 2 ;;
esac

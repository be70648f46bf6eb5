#!/bin/sh
# Maps the drives of the fault tests into the build's Wine session (wine-session.sh);
# mounting them needs root:
#   T: a 2 MiB tmpfs, for a full disk;
#   R: the prefix's C:\veltrane-e2e-readonly through a read-only bind mount, for a medium
#      that cannot be written (file modes would not do: Wine run as root writes read-only
#      files).
#   fault-drives.sh mount <build-dir>    fault-drives.sh unmount <build-dir>
# A drive that cannot be mounted is simply missing and its tests skip themselves; this
# script then still succeeds, so that the other tests run.
set -eu

action=$1
state=$(cd "$2" && pwd)/wine
small_mount=$state/small-drive
readonly_mount=$state/readonly-drive

unmount_drives() {
    if [ -f "$state/env" ]; then
        # shellcheck disable=SC1091
        . "$state/env"
        rm -f "$WINEPREFIX/dosdevices/t:" "$WINEPREFIX/dosdevices/r:"
    fi
    for mountpoint in "$small_mount" "$readonly_mount"; do
        if mountpoint -q "$mountpoint" 2>/dev/null; then
            umount "$mountpoint"
        fi
        [ -d "$mountpoint" ] && rmdir "$mountpoint"
    done
    return 0
}

mount_small_drive() {
    mkdir -p "$small_mount"
    if ! mount -t tmpfs -o size=2m,mode=0777 tmpfs "$small_mount" 2>"$state/small-drive.log"; then
        echo "fault-drives: cannot mount a tmpfs ($(cat "$state/small-drive.log")); no drive T:"
        rmdir "$small_mount"
        return 0
    fi
    ln -s "$small_mount" "$WINEPREFIX/dosdevices/t:"
    echo "fault-drives: 2 MiB tmpfs at $small_mount is drive T:"
}

mount_readonly_drive() {
    readonly_source=$WINEPREFIX/drive_c/veltrane-e2e-readonly
    mkdir -p "$readonly_source" "$readonly_mount"
    # A bind mount is made writable; only a remount makes it read-only.
    if ! mount --bind "$readonly_source" "$readonly_mount" 2>"$state/readonly-drive.log" ||
        ! mount -o remount,bind,ro "$readonly_mount" 2>>"$state/readonly-drive.log"; then
        echo "fault-drives: cannot mount $readonly_source read-only" \
            "($(cat "$state/readonly-drive.log")); no drive R:"
        if mountpoint -q "$readonly_mount"; then
            umount "$readonly_mount"
        fi
        rmdir "$readonly_mount"
        return 0
    fi
    ln -s "$readonly_mount" "$WINEPREFIX/dosdevices/r:"
    echo "fault-drives: $readonly_source read-only at $readonly_mount is drive R:"
}

case $action in
mount)
    unmount_drives
    # shellcheck disable=SC1091
    . "$state/env"
    mount_small_drive
    mount_readonly_drive
    ;;
unmount) unmount_drives ;;
*) echo "usage: $0 mount|unmount <build-dir>" >&2; exit 2 ;;
esac

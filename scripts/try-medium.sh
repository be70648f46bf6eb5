#!/bin/sh
# Rehearses a release: installs a built medium as a user would, on a clean Wine prefix and
# display of its own, walks every page of setup, and checks what the installation left.
#   scripts/try-medium.sh [--install-dir DIR] [--start-main] [--keep] [--work DIR]
#                         <image.iso | archive.zip | medium folder>
# An ISO: its Joliet tree is unpacked onto a folder that the prefix maps as drive D: and
# reports as a CD-ROM, every file and folder read-only as on a disc, and D:\setup.exe is
# started in D:\. A ZIP: unpacked into the install directory on C: (in place) or, for a
# copy-mode medium, into C:\veltrane-setup, and setup.exe started there. A folder: taken
# as the medium's content; a copy-mode one goes onto D: as an ISO's, an in-place one into
# the install directory as a ZIP's. The mode is told by the layout: start.ini beside
# setup.exe is in place, a veltrane folder with its start.ini is copy mode.
#   --install-dir DIR  in copy mode typed on the directory page; in place, where a ZIP or
#                      folder is unpacked (default C:\veltrane)
#   --start-main       press "Start orvane manager" on the last page (default: Exit Setup)
#   --keep             keep the Wine prefix afterwards (default: removed)
#   --work DIR         where the session, screenshots, contact sheet and report go
#                      (default build/try-medium/<image name>)
# It prints a report (also in <work>/report.txt) and puts a screenshot of each page side by
# side in <work>/contact-sheet.png.
# Exit code: 0 the medium installed and every check holds; 1 a check failed; 2 bad
# arguments or not a medium; 3 this machine cannot run the rehearsal (no 32-bit Wine).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
install_dir='C:\veltrane'
start_main=no
keep=no
work=
image=

usage() {
    echo "usage: $0 [--install-dir DIR] [--start-main] [--keep] [--work DIR]" \
        "<image.iso | archive.zip | medium folder>" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
    --install-dir) [ $# -ge 2 ] || usage; install_dir=$2; shift ;;
    --start-main) start_main=yes ;;
    --keep) keep=yes ;;
    --work) [ $# -ge 2 ] || usage; work=$2; shift ;;
    -*) usage ;;
    *) [ -z "$image" ] || usage; image=$1 ;;
    esac
    shift
done
[ -n "$image" ] || usage
case $image in
*.[iI][sS][oO]) kind=iso ;;
*.[zZ][iI][pP]) kind=zip ;;
*) kind=folder ;;
esac
if [ $kind = folder ] && [ ! -d "$image" ] || [ $kind != folder ] && [ ! -f "$image" ]; then
    echo "try-medium: $image is not an ISO image, a ZIP archive or a folder" >&2
    exit 2
fi
case $install_dir in
[cC]:\\?*) ;;
*) echo "try-medium: the install directory must lie on C: (C:\\...)" >&2; exit 2 ;;
esac
image=$(cd "$(dirname "$image")" && pwd)/$(basename "$image")
work=${work:-$root/build/try-medium/$(basename "$image" | tr . -)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
build="$root/build/win64"
cdrom="$work/cdrom"
shots="$work/screenshots"

# Where the kernel refuses 32-bit programs, qemu runs them for this rehearsal only.
qemu_registered=no
if [ "$("$root/scripts/i386-support.sh" mode)" = none ] && "$root/scripts/i386-support.sh" enable
then
    qemu_registered=yes
fi
clean_up() {
    [ -f "$work/wine/env" ] && sh "$root/tests/harness/wine-session.sh" stop "$work"
    [ $qemu_registered = yes ] && "$root/scripts/i386-support.sh" disable
    [ -d "$cdrom" ] && chmod -R u+w "$cdrom" && rm -rf "$cdrom"
    [ $keep = yes ] || rm -rf "$work/wine/prefix"
    return 0
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ ! -f "$build/windrive.exe" ]; then
    cmake --preset win64 >/dev/null
    cmake --build "$build" -j2 --target windrive >/dev/null
fi

begun=$(date +%s)
rm -rf "$shots" "$work/unpacked"
mkdir -p "$shots"
if [ -d "$cdrom" ]; then chmod -R u+w "$cdrom" && rm -rf "$cdrom"; fi

# The medium's content, unpacked where its layout can be read.
unpacked="$work/unpacked"
case $kind in
iso)
    xorriso -osirrox on -indev "$image" -read_fs norock -extract / "$unpacked" \
        >"$work/unpack.log" 2>&1 || { cat "$work/unpack.log" >&2; exit 2; }
    chmod -R u+w "$unpacked"
    ;;
zip) unzip -q "$image" -d "$unpacked" || exit 2 ;;
folder) cp -R "$image/." "$unpacked/" 2>/dev/null || { mkdir -p "$unpacked"; cp -R "$image/." "$unpacked/"; } ;;
esac
at_top() { find "$unpacked" -mindepth 1 -maxdepth 1 -iname "$1" -print -quit; }
suite_dir=$(at_top veltrane)
if [ -n "$(at_top start.ini)" ]; then
    mode=in-place
elif [ -n "$suite_dir" ] && [ -n "$(find "$suite_dir" -mindepth 1 -maxdepth 1 -iname start.ini)" ]
then
    mode=copy
else
    echo "try-medium: $image holds neither start.ini nor veltrane\\start.ini: not a medium" >&2
    exit 2
fi
[ -n "$(at_top setup.exe)" ] || { echo "try-medium: $image holds no setup.exe" >&2; exit 2; }

export WINE_SESSION_DESKTOP=1024x768
sh "$root/tests/harness/wine-session.sh" start "$work" >/dev/null
# shellcheck disable=SC1091
. "$work/wine/env"
if [ "$VELTRANE_I686" != yes ]; then
    echo "try-medium: cannot rehearse here: $(cat "$work/wine/i686-not-run")" >&2
    exit 3
fi
drive_c="$WINEPREFIX/drive_c"
on_c() { printf '%s' "$drive_c/${1#??}" | tr '\\' /; }

# Where setup starts: an ISO's tree (and a copy-mode folder) on a read-only CD-ROM in D:,
# anything else unpacked on C:.
if [ $kind = iso ] || { [ $kind = folder ] && [ $mode = copy ]; }; then
    mv "$unpacked" "$cdrom"
    chmod -R a-w "$cdrom"
    ln -s "$cdrom" "$WINEPREFIX/dosdevices/d:"
    # The drive's type is read when Wine's services start: they start again on the next
    # program, after this session's processes have ended.
    "$run_wine_loader" reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1 ||
        true
    start_dir='D:\'
    medium=$cdrom
else
    if [ $mode = copy ]; then start_dir='C:\veltrane-setup'; else start_dir=$install_dir; fi
    medium=$(on_c "$start_dir")
    mkdir -p "$(dirname "$medium")"
    rm -rf "$medium"
    mv "$unpacked" "$medium"
fi

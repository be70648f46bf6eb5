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
# setup.exe is in place, a veltrane folder with its start.ini is copy mode. Whatever the kind,
# the medium is first unpacked into the work folder, and refused unless it holds only files
# and folders, each name once (medium-check compares them as Windows does: MEDIUM_CHECK, by
# default build/native/medium-check, built when missing); SIGHUP, SIGINT, SIGTERM or SIGQUIT
# ends the rehearsal at once. One rehearsal at a time runs in a work folder.
#   --install-dir DIR  in copy mode typed on the directory page; in place, where a ZIP or
#                      folder is unpacked (default C:\veltrane): a full path on C: that
#                      setup takes, as medium-check judges it with setup's own judgement
#   --start-main       press "Start orvane manager" on the last page (default: Exit Setup)
#   --keep             keep the Wine prefix and the disc afterwards (default: removed)
#   --work DIR         where the session, screenshots, contact sheet and report go
#                      (default build/try-medium/<image name>, its dots as hyphens)
# It prints a report (also in <work>/report.txt) and puts a screenshot of each page side by
# side in <work>/contact-sheet.png. Every wait ends when what it waits for has happened, or
# at the rehearsal's bound (TRY_MEDIUM_BOUND seconds, default 300), which is then reported
# as the rehearsal's own problem.
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
case ${TRY_MEDIUM_BOUND:-300} in
'' | *[!0-9]* | 0*)
    echo "try-medium: TRY_MEDIUM_BOUND=$TRY_MEDIUM_BOUND: not a number of seconds" >&2
    exit 2 ;;
esac
case $image in
*.[iI][sS][oO]) kind=iso ;;
*.[zZ][iI][pP]) kind=zip ;;
*) kind=folder ;;
esac
if { [ $kind = folder ] && [ ! -d "$image" ]; } || { [ $kind != folder ] && [ ! -f "$image" ]; }
then
    echo "try-medium: $image is not an ISO image, a ZIP archive or a folder" >&2
    exit 2
fi
checker=${MEDIUM_CHECK:-$root/build/native/medium-check}
if [ ! -x "$checker" ]; then
    (cd "$root" && cmake --preset native >/dev/null)
    cmake --build "$root/build/native" -j2 --target medium-check >/dev/null
fi
# A full path on C: that setup takes: a path made of it never leads out of the prefix. What
# only copy mode's page refuses is judged once the medium tells the mode.
install_dir=$(python3 "$root/scripts/lib/medium.py" install-dir "$install_dir" "$checker") ||
    exit 2
image=$(cd "$(dirname "$image")" && pwd -P)/$(basename "$image")
work=${work:-$root/build/try-medium/$(python3 "$root/scripts/lib/medium.py" work-name \
    "$(basename "$image")")}
# Resolved physically before it is made; a folder medium is copied into it, so it must not
# lie in that folder.
if [ $kind = folder ]; then
    work=$(python3 "$root/scripts/lib/medium.py" folder "$work" "$image") || exit 2
else
    work=$(python3 "$root/scripts/lib/medium.py" folder "$work") || exit 2
fi
mkdir -p "$work"
build="$root/build/win64"
cdrom="$work/cdrom"
shots="$work/screenshots"

# shellcheck source=scripts/lib/setup-run.sh
. "$root/scripts/lib/setup-run.sh"
run_bound=${TRY_MEDIUM_BOUND:-$run_bound}
# The last step of a rehearsal that ends as it should tells the watchdog so.
run_clean_up() {
    if [ $keep = no ]; then
        [ ! -d "$cdrom" ] || chmod -R u+w "$cdrom"
        rm -rf "$cdrom" "$work/unpacked" "$work/wine/prefix"
    fi
    printf "done" 2>/dev/null >&8 || true
}
if [ -z "${TRY_MEDIUM_SESSION:-}" ]; then
    flags=
    [ $start_main = no ] || flags="$flags --start-main"
    [ $keep = no ] || flags="$flags --keep"
    # One rehearsal at a time in a work folder: a second one would end the first's session
    # and remove its prefix. This process runs again holding the lock, a regular file (a
    # link, FIFO or anything else at its name is refused), which every program of the
    # rehearsal inherits; a watchdog that outlives it, even a SIGKILL, ends whatever of the
    # rehearsal still runs and only then lets the lock go.
    if [ "${TRY_MEDIUM_LOCKED:-}" != $$ ]; then
        # shellcheck disable=SC2086
        exec python3 "$root/scripts/lib/medium.py" rehearse "$work" $keep sh "$0" \
            --install-dir "$install_dir" --work "$work" $flags "$image"
    fi
    run_guard "$root" "$work" "try-$$"
    # The rehearsal itself runs in a session of its own, which a signal ends at once.
    export TRY_MEDIUM_SESSION=$$
    # shellcheck disable=SC2086
    run_supervise sh "$0" --install-dir "$install_dir" --work "$work" $flags "$image"
fi

# Only this process's end tells the watchdog whether the rehearsal ended as it should.
exec 8>&-
begun=$(date +%s)
rm -rf "$shots" "$work/unpacked"
if [ -d "$cdrom" ]; then chmod -R u+w "$cdrom" && rm -rf "$cdrom"; fi

# The medium's content, unpacked where its layout can be read, before anything else runs:
# only files and folders, each name once, nothing outside the folder.
unpacked="$work/unpacked"
python3 "$root/scripts/lib/medium.py" unpack $kind "$image" "$unpacked" "$checker" || exit 2
mkdir -p "$shots"
at_top() { find "$unpacked" -mindepth 1 -maxdepth 1 -iname "$1" -print -quit; }
suite_dir=$(at_top veltrane)
if [ -n "$(at_top start.ini)" ]; then
    mode=in-place
elif [ -n "$suite_dir" ] && [ -n "$(find "$suite_dir" -mindepth 1 -maxdepth 1 -iname start.ini)" ]
then
    mode=copy
else
    printf 'try-medium: %s holds neither start.ini nor veltrane\\start.ini: not a medium\n' \
        "$image" >&2
    exit 2
fi
[ -n "$(at_top setup.exe)" ] || { echo "try-medium: $image holds no setup.exe" >&2; exit 2; }
if [ $mode = copy ]; then
    python3 "$root/scripts/lib/medium.py" install-dir "$install_dir" "$checker" copy >/dev/null ||
        exit 2
fi

if [ ! -f "$build/windrive.exe" ]; then
    (cd "$root" && cmake --preset win64 >/dev/null)
    cmake --build "$build" -j2 --target windrive >/dev/null
fi

export WINE_SESSION_DESKTOP=1024x768
# Wine names the files of its drives in the character set of the Unix locale, and the
# medium is unpacked with names in UTF-8: in another character set, C:\vélo would be
# another folder to setup than to the rest of the rehearsal.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
sh "$root/tests/harness/wine-session.sh" start "$work" >/dev/null
# shellcheck disable=SC1091
. "$work/wine/env"
if [ "$VELTRANE_I686" != yes ]; then
    echo "try-medium: cannot rehearse here: $(cat "$work/wine/i686-not-run")" >&2
    exit 3
fi
wine=/usr/lib/wine/wine64
on_c() { printf '%s' "$WINEPREFIX/drive_c/${1#??}" | tr '\\' /; }
# The prefix's own links (a user's Desktop leads to their home) would carry what is unpacked
# or installed there out of the work folder.
if ! python3 "$root/scripts/lib/medium.py" within "$(on_c "$install_dir")" "$work"; then
    printf 'try-medium: the install directory %s goes through a link of the Wine prefix; ' \
        "$install_dir" >&2
    echo "nothing installed" >&2
    exit 2
fi

# Every entry of the disc: a file with its size and time, a folder with its name only.
disc_listing() {
    find "$cdrom" -mindepth 1 \( -type f -printf 'f %s:%T@ %P\n' \) -o -printf '%y - %P\n' |
        LC_ALL=C sort
}

# Where setup starts: an ISO's tree (and a copy-mode folder) on a read-only CD-ROM in D:,
# anything else unpacked on C:.
drive_type=
if [ $kind = iso ] || { [ $kind = folder ] && [ $mode = copy ]; }; then
    mv "$unpacked" "$cdrom"
    chmod -R a-w "$cdrom"
    ln -s "$cdrom" "$WINEPREFIX/dosdevices/d:"
    "$wine" reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f >/dev/null 2>&1
    # Wine's services read the drive types when they start: they start again with the
    # next program once the session's wineserver has been restarted.
    sh "$root/tests/harness/wine-session.sh" restart "$work"
    drive_type=$("$wine" wmic logicaldisk get DeviceID,DriveType 2>/dev/null |
        iconv -f UTF-16LE -t UTF-8 | tr -d '\r' | sed -n 's/^D: *\([0-9]*\).*/\1/p')
    start_dir='D:\'
    medium=$cdrom
    disc_listing >"$work/disc-before.txt"
else
    if [ $mode = copy ]; then start_dir='C:\veltrane-setup'; else start_dir=$install_dir; fi
    medium=$(on_c "$start_dir")
    mkdir -p "$(dirname "$medium")"
    rm -rf "$medium"
    mv "$unpacked" "$medium"
fi
if [ $mode = copy ]; then
    installed_dir=$install_dir
    template=$(find "$(find "$medium" -mindepth 1 -maxdepth 1 -iname veltrane)" \
        -mindepth 1 -maxdepth 1 -iname start.ini)
else
    installed_dir=$start_dir
    template=$(find "$medium" -mindepth 1 -maxdepth 1 -iname start.ini)
fi

run_windrive="$build/windrive.exe"
run_shots=$shots

printf 'try-medium: %s medium %s: setup starts in %s\n' "$mode" "$image" "$start_dir" >&2
started=$(date +%s)
run_start "$start_dir" "$work/setup.log"
# Each wait ends when what it waits for has happened, or at the bound (run_bound). After a
# walk that stopped early (a box, setup's end, the bound) setup has ended or waits for a
# person: it is not waited for.
if run_walk $mode "$install_dir" $start_main >"$work/walk.txt"; then
    run_end $run_bound
    [ $start_main = no ] || run_settle orvane.exe >>"$work/walk.txt" || true
fi
finished=$(date +%s)

# check_tree SOURCE TARGET: in copy mode every entry of the medium's tree but the hidden
# ones (a dot begins their names, as Wine reads them) is installed, byte for byte and
# writable; what else the install directory holds is listed.
check_tree() {
    if [ ! -d "$2" ]; then
        run_problem "nothing was installed: there is no $installed_dir"
        return 0
    fi
    find "$1" -mindepth 1 ! -path '*/.*' -printf '%y %P\n' | LC_ALL=C sort >"$work/tree.txt"
    while read -r type path; do
        if [ "$type" = d ]; then
            [ -d "$2/$path" ] || run_problem "the folder $path was not installed"
        elif [ ! -f "$2/$path" ]; then
            run_problem "$path was not installed"
        elif ! cmp -s "$1/$path" "$2/$path"; then
            run_problem "$path differs from the medium's"
        elif [ -z "$(find "$2/$path" -perm /222)" ]; then
            run_problem "$path was installed read-only"
        fi
    done <"$work/tree.txt"
    printf 'Installed tree:    %s entries checked against the medium'"'"'s %s folder\n' \
        "$(wc -l <"$work/tree.txt")" "$(basename "$1")"
    extra=$(find "$2" -mindepth 1 -printf '%P\n' | LC_ALL=C sort |
        grep -vxiF -f "$work/expected.txt" | tr '\n' ' ' || true)
    [ -z "$extra" ] || printf 'Also installed:    %s\n' "$extra"
}

{
    printf '== Rehearsal of %s\n' "$image"
    printf 'Mode:              %s\n' "$mode"
    if [ -n "$drive_type" ]; then
        printf 'Started from:      D:\\setup.exe, drive D: of type %s (5 is a CD-ROM),' \
            "$drive_type"
        echo " every file read-only"
        [ "$drive_type" = 5 ] || run_problem "Wine does not report drive D: as a CD-ROM"
    else
        printf 'Started from:      %s\\setup.exe\n' "${start_dir%\\}"
    fi
    printf 'Install directory: %s\n' "$installed_dir"
    printf 'Pages reached:     %s\n' "${run_reached:-none}"
    cat "$work/walk.txt"
    printf "Setup's exit code: %s\n" "${run_exit_code:-none: setup did not end}"
    if [ -z "$run_exit_code" ] && [ -z "$run_stopped" ]; then
        run_bound_passed "setup to end after its last page"
    elif [ "$run_exit_code" != 0 ] && [ "$run_stopped" != bound ]; then
        run_problem "setup did not end with exit code 0"
    fi
    # What a bound of the rehearsal cut short is not judged: it says nothing of the medium.
    if [ "$run_stopped" = bound ]; then
        echo "Installation:      not judged, as the walk ended at the rehearsal's bound"
    else
        installed=$(on_c "$installed_dir")
        if [ $mode = copy ]; then
            suite=$(dirname "$template")
            run_generated "$installed_dir" "$template" >"$work/generated.txt"
            # What the install directory should hold: the medium's entries, the generated files.
            { printf '%s\n' "$run_generated_names" | tr '\\' /
                find "$suite" -mindepth 1 ! -path '*/.*' -printf '%P\n'
            } | sed '/^$/d' >"$work/expected.txt"
            check_tree "$suite" "$installed"
            cat "$work/generated.txt"
        else
            run_generated "$installed_dir" "$template"
            [ -n "$(run_local "$installed_dir\\setup.exe")" ] &&
                echo "setup.exe:         still in the install directory" ||
                echo "setup.exe:         deleted at exit, as setup does in place"
        fi
        # The walk waited on the last page until brindle and the INF engine, which write the
        # group, had ended; once that page came, the group is also waited for until whole.
        if [ "$run_settled" = no ]; then
            echo "Program group:     not judged, as brindle or the INF engine still ran"
        else
            case $run_reached in
            *"Setup completed") run_group "$installed_dir" "$run_bound" ;;
            *) run_group "$installed_dir" 0 ;;
            esac
        fi
        # setup deletes links.inf when it ends.
        if [ -n "$run_exit_code" ]; then
            run_links_gone "$installed_dir"
        else
            echo "links.inf:         not judged, as setup did not end"
        fi
        run_main_started "$installed_dir"
    fi
    if [ -n "$drive_type" ]; then
        disc_listing >"$work/disc-after.txt"
        changed=$(diff "$work/disc-before.txt" "$work/disc-after.txt" |
            sed -n 's/^[<>] [^ ]* [^ ]* //p' | LC_ALL=C sort -u | tr '\n' ' ' || true)
        if [ -z "$changed" ]; then
            echo "Drive D:           unchanged"
        else
            run_problem "setup wrote onto the disc in D:, which a real one refuses: $changed"
        fi
    fi
    printf 'Time:              setup ran %s s; the rehearsal took %s s in all\n' \
        $((finished - started)) $(($(date +%s) - begun))
    # Labelled in a font of fonts-wine, which every machine here has.
    montage -font /usr/share/wine/fonts/tahoma.ttf -label '%t' "$shots"/*.png -tile 2x -geometry 512x384+6+6 \
        -background '#d0d0d0' -depth 8 "$work/contact-sheet.png" 2>>"$work/montage.log" ||
        run_problem "no contact sheet: $(cat "$work/montage.log")"
    printf 'Screenshots:       %s\n' "$shots"
    printf 'Contact sheet:     %s\n' "$work/contact-sheet.png"
    if [ $run_problems -eq 0 ]; then
        echo "try-medium: PASSED: $image installed and every check holds"
    elif [ $run_bounds_passed -eq 0 ]; then
        echo "try-medium: FAILED: $run_problems problem(s)"
    else
        echo "try-medium: FAILED: $run_problems problem(s), $run_bounds_passed of them the" \
            "rehearsal's own bound of $run_bound s passing on this machine"
    fi
} >"$work/report.txt"
cat "$work/report.txt"
[ $run_problems -eq 0 ]

#!/bin/sh
# The main job: builds setup and runs it under Wine on the sample medium, as shipped
# (in place) or, with --copy-mode, copying the medium's veltrane folder into C:\veltrane.
# It runs the shipped i686 programs under 32-bit Wine (through qemu where the kernel refuses
# 32-bit programs), or says clearly that it fell back to the x86_64 build.
#   scripts/demo.sh [--copy-mode] [--headless]
# With a display (DISPLAY set) you click through the wizard yourself; without one, or with
# --headless, the same run is driven through its pages and screenshots are saved.
# Ends with a summary: where it installed, the files it generated, the program group that
# Windows made, and where the screenshots are. Ctrl-C ends it within moments at any stage
# (exit 130), its Wine session stopped and qemu's entry for it removed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
mode=in-place
headless=no
for argument in "$@"; do
    case $argument in
    --copy-mode) mode=copy ;;
    --headless) headless=yes ;;
    *) echo "usage: $0 [--copy-mode] [--headless]" >&2; exit 2 ;;
    esac
done
[ -n "${DISPLAY:-}" ] || headless=yes
build="$root/build/win64"
demo="$build/demo"

# shellcheck source=scripts/lib/setup-run.sh
. "$root/scripts/lib/setup-run.sh"
if [ -z "${DEMO_SESSION:-}" ]; then
    run_guard "$root" "$demo" "demo-$$"
    # The demo itself runs in a session of its own, which Ctrl-C ends at once, at any stage;
    # the guard then stops the Wine session and removes qemu's entry.
    export DEMO_SESSION=$$
    run_supervise sh "$0" "$@"
fi
"$root/scripts/install-deps.sh"
# The presets belong to the source tree, wherever the demo is run from.
(cd "$root" && cmake --preset win64 >/dev/null)
cmake --build "$build" -j"$(nproc)" --target setup setup-copy brindle sample_suite windrive >/dev/null
(cd "$root" && cmake --preset win32 >/dev/null)
cmake --build "$root/build/win32" -j"$(nproc)" --target setup setup-copy brindle sample_suite \
    >/dev/null

mkdir -p "$demo"
if [ $headless = no ]; then
    export WINE_SESSION_DISPLAY="$DISPLAY"
fi
export WINE_SESSION_DESKTOP=1024x768
sh "$root/tests/harness/wine-session.sh" start "$demo" >/dev/null
# shellcheck disable=SC1091
. "$demo/wine/env"
if [ "$VELTRANE_I686" = yes ]; then
    programs="$root/build/win32"
    ran="the shipped i686 programs (build/win32), under 32-bit Wine"
    [ "$("$root/scripts/i386-support.sh" mode)" = qemu ] && ran="$ran, through qemu"
else
    programs="$build"
    ran="the x86_64 programs (build/win64): the i686 programs did NOT run: $(cat "$demo/wine/i686-not-run")"
    echo "demo: $ran" >&2
fi
drive_c="$WINEPREFIX/drive_c"

# The medium: in place, the suite's files lie beside setup; in copy mode they lie in the
# medium's veltrane folder and setup copies them. The sample suite is whole: a stand-in
# under the name of each program that a shortcut starts.
medium="$drive_c/veltrane-medium"
rm -rf "$medium"
if [ $mode = in-place ]; then
    suite="$medium"
    install_dir='C:\veltrane-medium'
    program=setup.exe
else
    suite="$medium/veltrane"
    install_dir='C:\veltrane'
    program=setup-copy.exe
fi
mkdir -p "$suite"
cp -R "$programs/sample/veltrane/." "$suite/"
cp "$programs/$program" "$medium/setup.exe"
cp "$programs/brindle.exe" "$medium/"

run_windrive="$build/windrive.exe"
run_shots="$demo/screenshots"

rm -rf "$run_shots"
mkdir -p "$run_shots"
started=$(date +%s)
if [ $headless = yes ]; then
    run_start 'C:\veltrane-medium' "$demo/setup.log"
    run_walk $mode 'C:\veltrane' yes || true
    run_end 120
else
    echo "Setup is starting on $DISPLAY: click through the wizard."
    "$run_wine" start /wait /d 'C:\veltrane-medium' 'C:\veltrane-medium\setup.exe' || true
fi
finished=$(date +%s)

installed=$(printf '%s' "$install_dir" | sed 's|^C:|'"$drive_c"'|; s|\\|/|g')
echo
echo "== Veltrane setup ($mode) finished in $((finished - started)) s"
printf 'Programs run:      %s\n' "$ran"
printf 'Installed in:      %s  (%s)\n' "$install_dir" "$installed"
run_generated "$install_dir" "$suite/start.ini"
# The group is written while setup shows its last page; a person may have left earlier.
[ $headless = yes ] && group_wait=60 || group_wait=10
run_group "$install_dir" $group_wait
run_links_gone "$install_dir"
run_main_started "$install_dir"
[ $headless = yes ] && echo "Screenshots:       $run_shots"
exit 0

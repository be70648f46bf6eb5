#!/bin/sh
# The main job: builds setup and runs it under Wine on the sample medium, as shipped
# (in place) or, with --copy-mode, copying the medium's veltrane folder into C:\veltrane.
# It runs the shipped i686 programs under 32-bit Wine (through qemu where the kernel refuses
# 32-bit programs), or says clearly that it fell back to the x86_64 build.
#   scripts/demo.sh [--copy-mode] [--headless]
# With a display (DISPLAY set) you click through the wizard yourself; without one, or with
# --headless, the same run is driven through its pages and screenshots are saved.
# Ends with a summary: where it installed, the files it generated, the program group that
# Windows made, and where the screenshots are.
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

# Ctrl-C or SIGTERM ends the demo once the Wine session (and every program in it) is
# stopped and qemu's entry for this demo removed, with status 130 or 143.
run_id=demo-$$
clean_up() {
    if [ -f "$demo/wine/env" ]; then
        sh "$root/tests/harness/wine-session.sh" stop "$demo" || true
    fi
    "$root/scripts/i386-support.sh" disable "$run_id" || true
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
# Where the kernel refuses 32-bit programs, qemu runs them for this demo only.
if [ "$("$root/scripts/i386-support.sh" mode)" != native ]; then
    "$root/scripts/i386-support.sh" enable "$run_id" || true
fi
"$root/scripts/install-deps.sh"
cmake --preset win64 >/dev/null
cmake --build "$build" -j"$(nproc)" --target setup setup-copy brindle standin windrive >/dev/null
cmake --preset win32 >/dev/null
cmake --build "$root/build/win32" -j"$(nproc)" --target setup setup-copy brindle >/dev/null

shots="$demo/screenshots"
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
wine=/usr/lib/wine/wine64
drive_c="$WINEPREFIX/drive_c"

# The medium: in place, the suite's files lie beside setup; in copy mode they lie in the
# medium's veltrane folder and setup copies them.
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
cp -R "$root/sample/medium/." "$suite/"
for name in orvane schemed router gerbview partlib unvelt; do
    cp "$build/sample/standin.exe" "$suite/$name.exe"
done
cp "$programs/$program" "$medium/setup.exe"
cp "$programs/brindle.exe" "$medium/"

windrive() { "$wine" "$build/windrive.exe" "$@"; }
shoot() {  # shoot NAME: the whole screen, as the person would see it
    windrive shot "$(printf 'Z:%s' "$shots/$1.bmp" | tr / '\\')" >/dev/null
    convert "$shots/$1.bmp" "$shots/$1.png" && rm -f "$shots/$1.bmp"
}
page() {  # page CAPTION NAME BUTTON: wait for the page, photograph it, press the button
    windrive -t "$1" -w 30000 wait >/dev/null
    sleep 0.3
    shoot "$2"
    windrive -t "$1" click "$3" >/dev/null
}

rm -rf "$shots"
mkdir -p "$shots"
started=$(date +%s)
if [ $headless = yes ]; then
    export VELTRANE_DEMO_HEADLESS=1
    (cd "$medium" && "$wine" setup.exe >"$demo/setup.log" 2>&1) &
    run=$!
    page Welcome 1-welcome 1503
    page "Licence Agreement" 2-licence 6
    if [ $mode = copy ]; then
        page "Directory to install Veltrane" 3-directory 1
    fi
    page "Setup completed" 4-completed 1508
    wait $run
else
    echo "Setup is starting on $DISPLAY: click through the wizard."
    (cd "$medium" && "$wine" setup.exe)
fi
finished=$(date +%s)

installed=$(printf '%s' "$install_dir" | sed 's|^C:|'"$drive_c"'|; s|\\|/|g')
echo
echo "== Veltrane setup ($mode) finished in $((finished - started)) s"
printf 'Programs run:      %s\n' "$ran"
printf 'Installed in:      %s  (%s)\n' "$install_dir" "$installed"
echo "Generated files:"
for file in orvane.ini layout/router.ini library/partlib.ini; do
    if [ -f "$installed/$file" ]; then
        printf '  %s (%s lines), e.g.: %s\n' "$file" "$(wc -l <"$installed/$file")" \
            "$(grep -m1 -i 'veltrane' "$installed/$file" | tr -d '\r')"
    else
        echo "  $file MISSING"
    fi
done
printf '%s\n' 'Program group (from C:\windows\setup.ini):'
if [ -f "$drive_c/windows/setup.ini" ]; then
    # Wine's profile writer puts a lone "=" under each value-less entry; those are skipped.
    sed -n '/^\[group1\]/,/^\[/p' "$drive_c/windows/setup.ini" | tr -d '\r' \
        | grep -v -e '^\[' -e '^=$' | sed -e 's/"=$/"/' -e 's/^/  /'
else
    echo "  (none written)"
fi
[ -f "$installed/links.inf" ] && echo "links.inf still present (unexpected)" || echo "links.inf removed at exit"
if [ -f "$installed/orvane-started.txt" ]; then
    printf 'Main program started as: %s\n' "$(tr -d '\r' <"$installed/orvane-started.txt")"
fi
[ $headless = yes ] && echo "Screenshots:       $shots"
exit 0

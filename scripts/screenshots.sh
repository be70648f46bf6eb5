#!/bin/sh
# Regenerates docs/screenshots/*.png: the six pages of setup as a user sees them, over the
# gradient and with their title bars, taken from setup-copy.exe in a Wine virtual desktop
# (which draws frames and captions without a window manager).
#   scripts/screenshots.sh [build-dir]        default: build/win64 (the win64 preset)
# It builds what it needs, runs in a Wine session of its own under <build-dir>/screenshots
# and leaves the other sessions alone.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
harness="$root/tests/harness/wine-session.sh"
session="$build/screenshots"
shots="$session/bmp"

cmake --build "$build" --target page_shots setup-copy

mkdir -p "$session"
sh "$harness" start "$session"
trap 'sh "$harness" stop "$session"' EXIT INT TERM
# shellcheck disable=SC1091
. "$session/wine/env"

windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

rm -rf "$shots"
mkdir -p "$shots"
timeout 180 /usr/lib/wine/wine64 explorer /desktop=shots,1024x768 \
    "$(windows_path "$build/tests/wizard/page_shots.exe")" "$(windows_path "$shots")" \
    </dev/null >"$session/page_shots.log" 2>&1 &
walk=$!
tries=0
until [ -f "$shots/done.txt" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 1800 ]; then
        echo "screenshots: the walk through the pages did not finish" >&2
        exit 1
    fi
    sleep 0.1
done
kill "$walk" 2>/dev/null || true
if [ "$(cat "$shots/done.txt")" != "ok" ]; then
    echo "screenshots: a page could not be captured; see $session/page_shots.log" >&2
    exit 1
fi

mkdir -p "$root/docs/screenshots"
for page in welcome licence exit directory progress gradient completed; do
    # No time stamps in the files, so unchanged pictures stay unchanged in git.
    convert "$shots/$page.bmp" -strip -define png:exclude-chunks=date,time \
        "$root/docs/screenshots/$page.png"
done
echo "screenshots: docs/screenshots/{welcome,licence,exit,directory,progress,gradient,completed}.png"

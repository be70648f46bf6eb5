#!/bin/sh
# Saves what the build's running Wine session shows as a PNG: the whole screen, or one
# window chosen with windrive's options.
#   tests/e2e/shot.sh <build-dir> <file.png> [-c CLASS] [-t CAPTION] [-p PID]
# The session must be running (ctest's fixture or tests/harness/wine-session.sh start).
set -eu
build=$(cd "$1" && pwd)
png=$2
shift 2
bmp=$(mktemp /tmp/windrive-XXXXXX.bmp)
trap 'rm -f "$bmp"' EXIT
sh "$(dirname "$0")/../harness/wine-run.sh" "$build/windrive.exe" "$@" shot \
    "Z:$(printf '%s' "$bmp" | tr / '\\')"
convert "$bmp" "$png"

#!/bin/sh
# Builds a distribution medium in one command: lays out the suite's files with setup and
# brindle for the chosen mode, stops if medium-check finds an error (dot-files taken as
# ordinary entries, as the image shows them), writes the medium (copy mode: an ISO 9660
# image with Joliet names, its files' data in the order setup reads them; in place: a ZIP
# archive with UTF-8 names) beside --out, reads it back with another program than the one
# that wrote it, compares names, sizes and bytes with the laid-out medium, for an image
# prints the read plan and refuses one that needs head movements; then, unless --no-try,
# installs it under Wine as a user would (scripts/try-medium.sh), so that success means "it
# installed". Only then is it renamed to --out: on any failure or interruption the old
# --out stays as it was and nothing half-written remains.
#   scripts/make-medium.sh [--copy-mode] [--label NAME] [--install-dir DIR] [--codepage N]
#                          [--programs DIR] [--out FILE] [--no-try] <suite folder>
# <suite folder> holds the suite's files and its start.ini. --programs: where setup.exe,
# setup-copy.exe and brindle.exe are (default build/win32, built when missing);
# MEDIUM_CHECK names the checker (default build/native/medium-check, built when missing).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
copy=0
label=VELTRANE
install='C:\veltrane'
codepage=1252
programs=
out=
suite=
try=yes

usage() {
    echo "usage: $0 [--copy-mode] [--label NAME] [--install-dir DIR] [--codepage N]" \
        "[--programs DIR] [--out FILE] [--no-try] <suite folder>" >&2
    exit 2
}

while [ $# -gt 0 ]; do
    case $1 in
    --copy-mode) copy=1 ;;
    --label) [ $# -ge 2 ] || usage; label=$2; shift ;;
    --install-dir) [ $# -ge 2 ] || usage; install=$2; shift ;;
    --codepage) [ $# -ge 2 ] || usage; codepage=$2; shift ;;
    --programs) [ $# -ge 2 ] || usage; programs=$2; shift ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift ;;
    --no-try) try=no ;;
    -*) usage ;;
    *) [ -z "$suite" ] || usage; suite=$1 ;;
    esac
    shift
done
[ -n "$suite" ] || usage
[ -d "$suite" ] || { echo "make-medium: $suite is not a folder" >&2; exit 2; }
# Windows finds start.ini in any letter case.
if [ -z "$(find "$suite/" -mindepth 1 -maxdepth 1 -type f -iname start.ini)" ]; then
    echo "make-medium: $suite holds no start.ini" >&2
    exit 2
fi
# Neither an ISO 9660 image nor a ZIP archive read on Windows holds a link.
links=$(find "$suite/" -type l)
if [ -n "$links" ]; then
    echo "make-medium: $suite holds links, which the medium cannot hold:" >&2
    printf '%s\n' "$links" >&2
    exit 1
fi

# The presets belong to the source tree, wherever make-medium is run from.
if [ -z "$programs" ]; then
    programs=$root/build/win32
    if [ ! -f "$programs/setup.exe" ] || [ ! -f "$programs/setup-copy.exe" ] ||
        [ ! -f "$programs/brindle.exe" ]; then
        (cd "$root" && cmake --preset win32 >/dev/null &&
            cmake --build --preset win32 --target setup setup-copy brindle) || exit 1
    fi
fi
checker=${MEDIUM_CHECK:-$root/build/native/medium-check}
if [ ! -x "$checker" ]; then
    (cd "$root" && cmake --preset native >/dev/null &&
        cmake --build --preset native --target medium-check) || exit 1
fi
if [ $copy -eq 1 ]; then
    out=${out:-$root/build/medium/veltrane.iso}
else
    out=${out:-$root/build/medium/veltrane.zip}
fi
[ ! -d "$out" ] || { echo "make-medium: --out $out is a folder" >&2; exit 2; }
# An image inside the suite would be packed into the next medium: --out's folder and each
# folder above it are compared with the suite by device and inode.
suite_id=$(stat -L -c %d:%i "$suite")
folder=$(dirname "$out")
while [ ! -d "$folder" ]; do
    folder=$(dirname "$folder")
done
folder=$(cd "$folder" && pwd -P)
while :; do
    if [ "$(stat -c %d:%i "$folder")" = "$suite_id" ]; then
        echo "make-medium: --out $out lies in the suite folder $suite" >&2
        exit 2
    fi
    [ "$folder" != / ] || break
    folder=$(dirname "$folder")
done
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

layout=
staging=
cleanup() {
    rm -rf "$layout" "$staging"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
layout=$(mktemp -d "${TMPDIR:-/tmp}/make-medium.XXXXXX")
medium=$layout/medium
mkdir "$medium"
if [ $copy -eq 1 ]; then
    cp "$programs/setup-copy.exe" "$medium/setup.exe"
    mkdir "$medium/veltrane"
    cp -R "$suite/." "$medium/veltrane/"
    mode=--copy-mode
else
    cp -R "$suite/." "$medium/"
    cp "$programs/setup.exe" "$medium/setup.exe"
    mode=
fi
cp "$programs/brindle.exe" "$medium/brindle.exe"

status=0
# shellcheck disable=SC2086
"$checker" "$medium" $mode --install-dir "$install" --codepage "$codepage" \
    --dot-files-visible || status=$?
if [ $status -ge 2 ]; then
    echo "make-medium: medium-check found errors; nothing written" >&2
    exit 1
fi

# One line per entry of a folder: "d <path>" or "f <size> <path>", sorted.
listing() {
    find "$1" -mindepth 1 -printf '%y %s %P\n' | sed -e 's/^d [0-9]* /d /' | LC_ALL=C sort
}

listing "$medium" >"$layout/laid-out.txt"
# Written beside --out, so that the rename below replaces it in one step.
staging=$(mktemp -d "$(dirname "$out")/.make-medium.XXXXXX")
image=$staging/$(basename "$out")
if [ $copy -eq 1 ]; then
    # Every file's data in the order setup reads the disc, so that it reads in one pass.
    python3 "$root/scripts/disc-order.py" weights "$medium" >"$layout/weights.xorriso"
    xorriso -outdev "$image" -volid "$label" -joliet on -map "$medium" / \
        -options_from_file "$layout/weights.xorriso" >"$layout/xorriso.log" 2>&1 ||
        { cat "$layout/xorriso.log" >&2; exit 1; }
else
    # Names outside ASCII are stored in UTF-8 with the flag that says so (general-purpose
    # bit 11), which Python's zipfile sets for them.
    python3 - "$medium" "$image" <<'EOF_ZIP'
import os
import sys
import zipfile

medium, image = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(image, "x", zipfile.ZIP_DEFLATED) as archive:
    for folder, folders, files in os.walk(medium):
        folders.sort()
        for name in folders + sorted(files):
            path = os.path.join(folder, name)
            archive.write(path, os.path.relpath(path, medium))
EOF_ZIP
fi
# Read back by libarchive: for the image its Joliet tree (Rock Ridge off), as Windows reads it.
mkdir "$layout/read"
bsdtar -x -f "$image" -C "$layout/read" --options 'iso9660:!rockridge' 2>"$layout/read.log" ||
    { cat "$layout/read.log" >&2; echo "make-medium: $image cannot be read back" >&2; exit 1; }
listing "$layout/read" >"$layout/written.txt"
if ! diff -u "$layout/laid-out.txt" "$layout/written.txt" >"$layout/diff.txt" ||
    ! diff -r "$medium" "$layout/read" >>"$layout/diff.txt" 2>&1; then
    echo "make-medium: the image does not hold what was laid out (- laid out, + written):" >&2
    cat "$layout/diff.txt" >&2
    exit 1
fi
if [ $copy -eq 1 ]; then
    # Proven with another reader than the writer: the records as Windows lists them.
    plan=$(python3 "$root/scripts/disc-order.py" check "$image") ||
        { echo "make-medium: the image would not read in one pass; not written" >&2; exit 1; }
    echo "make-medium: $plan"
fi
if [ $try = yes ]; then
    status=0
    # The rehearsal's report, screenshots and contact sheet go beside the image.
    sh "$root/scripts/try-medium.sh" --install-dir "$install" \
        --work "$(dirname "$out")/try-$(basename "$out" | tr . -)" "$image" || status=$?
    if [ $status -ne 0 ]; then
        echo "make-medium: the image did not install as it should (try-medium exit code" \
            "$status); $out not written" >&2
        exit 1
    fi
fi
mv -f "$image" "$out"
echo "make-medium: $out, $(stat -c %s "$out") bytes, $(wc -l <"$layout/laid-out.txt") entries"

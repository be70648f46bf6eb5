#!/bin/sh
# Builds a distribution medium in one command: lays out the suite's files with setup and
# brindle for the chosen mode, stops if medium-check finds an error, writes the medium
# (copy mode: an ISO 9660 image with Joliet names; in place: a ZIP archive), reads it back
# and compares its listing with the laid-out medium; then, unless --no-try, installs it
# under Wine as a user would (scripts/try-medium.sh), so that success means "it installed".
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
[ -f "$suite/start.ini" ] || { echo "make-medium: $suite holds no start.ini" >&2; exit 2; }

if [ -z "$programs" ]; then
    programs=$root/build/win32
    if [ ! -f "$programs/setup.exe" ] || [ ! -f "$programs/setup-copy.exe" ] ||
        [ ! -f "$programs/brindle.exe" ]; then
        cmake --preset win32 >/dev/null
        cmake --build --preset win32 --target setup setup-copy brindle
    fi
fi
checker=${MEDIUM_CHECK:-$root/build/native/medium-check}
if [ ! -x "$checker" ]; then
    cmake --preset native >/dev/null
    cmake --build --preset native --target medium-check
fi
if [ $copy -eq 1 ]; then
    out=${out:-$root/build/medium/veltrane.iso}
else
    out=${out:-$root/build/medium/veltrane.zip}
fi
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

layout=$(mktemp -d "${TMPDIR:-/tmp}/make-medium.XXXXXX")
trap 'rm -rf "$layout"' EXIT INT TERM
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
"$checker" "$medium" $mode --install-dir "$install" --codepage "$codepage" || status=$?
if [ $status -ge 2 ]; then
    echo "make-medium: medium-check found errors; nothing written" >&2
    exit 1
fi

# One line per entry: "d <path>" or "f <size> <path>", sorted.
find "$medium" -mindepth 1 -printf '%y %s %P\n' | sed -e 's/^d [0-9]* /d /' |
    LC_ALL=C sort >"$layout/laid-out.txt"
rm -f "$out"
if [ $copy -eq 1 ]; then
    xorriso -outdev "$out" -volid "$label" -joliet on -compliance joliet_long_names \
        -map "$medium" / >"$layout/xorriso.log" 2>&1 ||
        { cat "$layout/xorriso.log" >&2; exit 1; }
    # The Joliet tree, as Windows reads the image.
    xorriso -indev "$out" -read_fs norock -find / -exec lsdl 2>/dev/null |
        sed -n -e "s|^d[^ ]* .* '/\(..*\)'\$|d \1|p" \
            -e "s|^-[^ ]* *[0-9]* *[^ ]* *[^ ]* *\([0-9]*\) .* '/\(..*\)'\$|f \1 \2|p" |
        LC_ALL=C sort >"$layout/written.txt"
else
    (cd "$medium" && zip -q -r -X "$out" .)
    unzip -Z "$out" |
        sed -n -e 's|^d[^ ]* *[^ ]* *[^ ]* *[0-9]* *[^ ]* *[^ ]* *[^ ]* *[^ ]* \(.*\)/$|d \1|p' \
            -e 's|^-[^ ]* *[^ ]* *[^ ]* *\([0-9]*\) *[^ ]* *[^ ]* *[^ ]* *[^ ]* \(.*\)$|f \1 \2|p' |
        LC_ALL=C sort >"$layout/written.txt"
fi
if ! diff -u "$layout/laid-out.txt" "$layout/written.txt" >"$layout/diff.txt"; then
    echo "make-medium: $out does not hold what was laid out (- laid out, + written):" >&2
    cat "$layout/diff.txt" >&2
    exit 1
fi
echo "make-medium: $out, $(stat -c %s "$out") bytes, $(wc -l <"$layout/laid-out.txt") entries"
[ $try = yes ] || exit 0
status=0
# The rehearsal's report, screenshots and contact sheet go beside the image.
sh "$root/scripts/try-medium.sh" --install-dir "$install" \
    --work "$(dirname "$out")/try-$(basename "$out" | tr . -)" "$out" || status=$?
if [ $status -ne 0 ]; then
    echo "make-medium: $out did not install as it should (try-medium exit code $status)" >&2
    exit 1
fi

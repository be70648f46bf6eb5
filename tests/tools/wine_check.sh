#!/bin/sh
# The Windows medium-check under Wine, from outside: the sample suite is clean (exit 0);
# a copy-mode medium with a hidden and a system file (attributes set by Wine's attrib),
# a line in front of the first file line and no help file for one shortcut gives those
# four warnings (exit 1); a file line into a missing folder is an error (exit 2); names
# listed through Windows' own conversion: one that code page 1252 cannot spell, a device
# name and two that differ only in case are errors, an accented Latin name is not; a
# preview folder named through another drive, a short name or other letter case is known
# for the medium's own folder by its identity and refused, and the medium stays as it was.
# Then the same hostile names and folder links through this program and the Linux one: the
# same verdict, also on pairs that only one case table could take for one name.
# Every run ends after a minute at most.
#   wine_check.sh <medium-check.exe> <sample suite> <Linux medium-check>
set -eu
checker=$1
sample=$2
native=$3
build=$(cd "$(dirname "$checker")" && pwd)
# shellcheck disable=SC1091
. "$build/wine/env"
wine=/usr/lib/wine/wine64
# The media lie where their paths have the same length wherever the checkout lies, so that
# the limits on path lengths give the same verdicts from any checkout.
work=$(mktemp -d /tmp/medium-check-wine.XXXXXX)
long=$(mktemp -d "$WINEPREFIX/drive_c/LongMediumFolderXXXXXX")
trap 'rm -rf "$work" "$long"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
failures=0

windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# expect CODE NAME ARGUMENTS...: runs the checker and compares its exit code.
expect() {
    code=$1
    name=$2
    shift 2
    status=0
    timeout -k 5 60 "$wine" "$checker" "$@" </dev/null >"$work/$name.txt" 2>&1 || status=$?
    tr -d '\r' <"$work/$name.txt" >"$work/$name.out"
    if [ "$status" -ne "$code" ]; then
        echo "$name: exit code $status, expected $code; output:"
        cat "$work/$name.out"
        failures=$((failures + 1))
    fi
}

# has NAME TEXT: the output of NAME holds the line TEXT.
has() {
    if ! grep -qxF "$2" "$work/$1.out"; then
        echo "$1: no line \"$2\" in:"
        cat "$work/$1.out"
        failures=$((failures + 1))
    fi
}

cp -R "$sample" "$work/sample"
expect 0 sample "$(windows_path "$work/sample")"
has sample "0 errors, 0 warnings"

# suite_files FOLDER: the programs and help files that the shortcuts name.
suite_files() {
    for name in orvane.exe schemed.exe router.exe gerbview.exe partlib.exe unvelt.exe \
        orvane.hlp ROUTER.HLP schemed.hlp; do
        : >"$1/$name"
    done
}

medium="$work/medium"
mkdir -p "$medium/veltrane/layout"
suite_files "$medium/veltrane"
printf '[early]\r\n:%%path%%\\layout\\router.ini\r\nGrid=25\r\n' >"$medium/veltrane/start.ini"
: >"$medium/veltrane/hidden.txt"
: >"$medium/veltrane/system.txt"
"$wine" attrib +h "$(windows_path "$medium/veltrane/hidden.txt")"
"$wine" attrib +s "$(windows_path "$medium/veltrane/system.txt")"
expect 1 copy "$(windows_path "$medium")" --copy-mode
has copy 'veltrane\hidden.txt: warning: hidden file: setup-copy leaves it out'
has copy 'veltrane\system.txt: warning: system file: setup-copy leaves it out'
has copy 'veltrane\start.ini:1: warning: dropped: it comes before the first file line (:%path%...)'
has copy 'veltrane\gerbview.hlp: warning: not on the medium, so the shortcut "Gerber Viewer Help" leads to nothing'
has copy "0 errors, 4 warnings"

printf ':%%path%%\\none\\a.ini\r\n' >"$medium/veltrane/start.ini"
expect 2 missing "$(windows_path "$medium/veltrane")" --install-dir 'C:\suite'
has missing 'start.ini:1: error: setup cannot create C:\suite\none\a.ini: its folder none does not exist in the medium'

names="$work/names"
mkdir -p "$names"
printf ':%%path%%\\a.ini\r\n' >"$names/start.ini"
suite_files "$names"
: >"$names/gerbview.hlp"
: >"$names/$(printf 'caf\303\251').txt"
: >"$names/$(printf '\320\266').txt"
: >"$names/con.txt"
: >"$names/Readme.txt"
: >"$names/README.TXT"
expect 2 names "$(windows_path "$names")"
has names "3 errors, 0 warnings"
grep -q '^?\.txt: error: code page 1252 cannot spell' "$work/names.out" ||
    { echo "names: unspellable name not reported:"; cat "$work/names.out"; failures=$((failures + 1)); }
grep -q '^con\.txt: error: reserved device name CON' "$work/names.out" ||
    { echo "names: con.txt not reported:"; cat "$work/names.out"; failures=$((failures + 1)); }
grep -qi '^readme\.txt: error: differs from readme\.txt only in letter case' "$work/names.out" ||
    { echo "names: case twins not reported:"; cat "$work/names.out"; failures=$((failures + 1)); }

folder=$(basename "$long")
printf ':%%path%%\\a.ini\r\nx\r\n' >"$long/start.ini"
short=$("$wine" cmd /c dir /x 'C:\' | tr -d '\r' |
    awk -v name="$folder" '$NF == name { print $(NF - 1) }')
upper=$(printf '%s' "$folder" | tr '[:lower:]' '[:upper:]')
for preview in "C:\\$short\\pre" "$(windows_path "$long")\\pre" "C:\\$upper\\PRE"; do
    expect 2 alias "C:\\$folder" --preview "$preview"
    grep -q '^medium-check: .* lies in the medium' "$work/alias.out" ||
        { printf '%s: not refused:\n' "$preview"; cat "$work/alias.out"; failures=$((failures + 1)); }
done
[ "$(ls -A "$long")" = start.ini ] ||
    { echo "the medium changed:"; ls -A "$long"; failures=$((failures + 1)); }

# verdict NAME CODE OPTIONS...: the medium $work/NAME through both programs, each its exit
# code CODE and the same count of findings.
verdict() {
    name=$1
    code=$2
    shift 2
    expect "$code" "$name" "$(windows_path "$work/$name")" "$@"
    status=0
    timeout -k 5 60 "$native" "$work/$name" "$@" </dev/null >"$work/$name.linux" 2>&1 ||
        status=$?
    summary=$(tail -n 1 "$work/$name.linux")
    if [ "$status" -ne "$code" ] || [ "$summary" != "$(tail -n 1 "$work/$name.out")" ] ||
        ! printf '%s\n' "$summary" | grep -qE '^[0-9]+ errors?, [0-9]+ warnings?$'; then
        echo "$name: the Linux program says (exit code $status):"
        cat "$work/$name.linux"
        echo "the Windows program (exit code $code expected):"
        cat "$work/$name.out"
        failures=$((failures + 1))
    fi
}

# hostile FOLDER NAME...: an in-place medium with these entries beside the suite's files.
hostile() {
    folder=$work/$1
    shift
    mkdir -p "$folder"
    printf ':%%path%%\\a.ini\r\n' >"$folder/start.ini"
    suite_files "$folder"
    : >"$folder/gerbview.hlp"
    for entry in "$@"; do
        mkdir -p "$(dirname "$folder/$entry")"
        : >"$folder/$entry"
    done
}

if [ ! -x "$native" ]; then
    echo "no Linux medium-check at $native to compare with: build the native preset"
    exit 1
fi
# Code page 932: a yen sign that becomes 0x5C; a wave dash that becomes the full-width
# tilde beside it; characters of lead bytes 0x81, 0x9F and 0xE0 with a trail byte 0x5C.
hostile yen "$(printf 'a\302\245b.lib')"
verdict yen 2 --codepage 932
hostile tilde "$(printf '\343\200\234.txt')" "$(printf '\357\275\236.txt')"
verdict tilde 2 --codepage 932
hostile trail "$(printf '\342\200\225')" "$(printf '\346\255\203')" "$(printf '\346\277\254')"
verdict trail 2 --codepage 932
# Code page 1252: 40 x e-acute is a folder name of 40 bytes, which setup-copy takes.
hostile accents/veltrane "$(printf '%.0s\303\251' $(seq 40))/a.txt"
verdict accents 0 --copy-mode
hostile bar 'a|b.txt'
verdict bar 2
hostile joliet 'a;1.txt'
verdict joliet 2 --disc-image
# Names compared as Windows compares them, one character at a time through its upper-case
# table: É.txt and é.txt are one name, ß.txt and SS.txt two (ß has no capital of its own).
hostile twins "$(printf '\303\211.txt')" "$(printf '\303\251.txt')" "$(printf '\303\237.txt')" SS.txt
verdict twins 2 --same-names
# Pairs that newer case rules take for one name and the table of Windows 95's and NT 4's
# long names for two: micro sign and capital mu, dotless i and I, long s and S, title-case
# dz and small dz, final sigma and capital sigma, rounded ve and Cyrillic capital ve.
hostile pairs "$(printf '\302\265')" "$(printf '\316\234')" "$(printf '\304\261')" I \
    "$(printf '\305\277')" S "$(printf '\307\205')" "$(printf '\307\206')" \
    "$(printf '\317\202')" "$(printf '\316\243')" "$(printf '\341\262\200')" \
    "$(printf '\320\222')"
verdict pairs 0 --same-names
# Links to folders, back up the tree and out of it, which Wine shows as reparse points:
# neither program follows them.
hostile links
ln -s .. "$work/links/up"
ln -s ../yen "$work/links/out"
verdict links 2
# In place, a path of 260 characters below the install directory.
hostile long "$(printf '%0157d' 0)/x"
verdict long 2 --install-dir "C:\\$(printf '%097d' 0)"

[ $failures -eq 0 ] || exit 1
echo "medium-check under Wine: all cases passed"

#!/bin/sh
# scripts/make-medium.sh from outside on a small suite: both kinds of medium are written
# and their listings, read with xorriso's Joliet tree and unzip, hold exactly the laid-out
# entries (a name outside ASCII and one of 64 characters with blanks included); the image,
# read with isoinfo, holds every file's data where the one setup reads before it ends,
# whatever the names' case, punctuation or place after a folder; a name that medium-check
# refuses, or one too long for an image's Joliet names, stops the script before anything
# is written.
#   make_medium_test.sh <medium-check> <repository>
set -eu
checker=$1
repo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

mkdir -p "$work/programs" "$work/suite/layout" "$work/suite/Lib"
for program in setup setup-copy brindle; do
    printf '%s' "$program" >"$work/programs/$program.exe"
done
e_acute=$(printf '\303\251')
u_umlaut=$(printf '\303\234')
long="A long name with blanks, as long as a Joliet name on a disc.text"
# The order setup reads the image in: each folder's sub-folders first, then its own files,
# each in the order of the disc's Joliet records (UTF-16 code units).
order=$(printf '%s\n' setup.exe brindle.exe veltrane/Lib/A.dat veltrane/Lib/b.dat \
    veltrane/layout/Router.ini "veltrane/layout/caf$e_acute.txt" "veltrane/$long" \
    veltrane/Zeta.hlp veltrane/ab-c.txt veltrane/ab.txt veltrane/start.ini veltrane/x.y.dat \
    veltrane/x_y.dat "veltrane/${u_umlaut}ber.txt")
# Files of one to a few blocks, so that an end is found from the size.
printf '%s\n' "$order" >"$work/order.txt"
size=1000
while IFS= read -r file; do
    head -c $size /dev/urandom >"$work/suite/$file"
    size=$((size * 3 / 2))
done <<EOF
$(sed -n 's|^veltrane/||p' "$work/order.txt")
EOF
printf ':%%path%%\\layout\\router.ini\r\nGrid=25\r\n' >"$work/suite/start.ini"

# check NAME EXPECTED ACTUAL: the two listings are equal.
check() {
    if [ "$2" != "$3" ]; then
        printf '%s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

make() {
    MEDIUM_CHECK=$checker sh "$repo/scripts/make-medium.sh" --programs "$work/programs" "$@"
}

make --copy-mode --label SUITE2 --out "$work/out/suite.iso" "$work/suite" >"$work/iso.log" 2>&1 ||
    { cat "$work/iso.log"; exit 1; }
iso=$(xorriso -indev "$work/out/suite.iso" -read_fs norock -find / -type f 2>/dev/null |
    tr -d "'" | LC_ALL=C sort)
check "ISO image (Joliet)" "$(printf '%s\n' "$order" | sed 's|^|/|' | LC_ALL=C sort)" "$iso"
check "volume label" "SUITE2" "$(xorriso -indev "$work/out/suite.iso" -pvd_info 2>/dev/null |
    sed -n 's/^Volume Id *: *//p')"
check "setup.exe of the image" "setup-copy" \
    "$(xorriso -osirrox on -indev "$work/out/suite.iso" -extract /setup.exe "$work/setup.exe" \
        >/dev/null 2>&1 && cat "$work/setup.exe")"
# isoinfo lists each file's first block and size: read in setup's order, each file starts
# at the block where the one before it ends.
isoinfo -J -l -i "$work/out/suite.iso" | iconv -f latin1 -t utf-8 | awk '
    /^Directory listing of / { folder = substr($0, 23); next }
    /^-/ { name = $0; sub(/^[^]]*\]  /, "", name); sub(/ $/, "", name)
           block = $0; sub(/^[^[]*\[ */, "", block); sub(/ .*/, "", block)
           printf "%s%s\t%s\t%s\n", folder, name, block, $5 }' >"$work/blocks.txt"
check "read in one pass" "" "$(awk -F '\t' 'NR == FNR { start[$1] = $2; size[$1] = $3; next }
    !($0 in start) { print $0 ": not on the disc"; next }
    end != "" && start[$0] != end { print $0 " starts at " start[$0] ", not at " end }
    { end = start[$0] + int((size[$0] + 2047) / 2048) }' "$work/blocks.txt" "$work/order.txt")"
grep -q 'read plan: 14 files, .* 0 head movements' "$work/iso.log" ||
    { echo "no read plan:"; cat "$work/iso.log"; failures=$((failures + 1)); }

make --out "$work/out/suite.zip" "$work/suite" >"$work/zip.log" 2>&1 ||
    { cat "$work/zip.log"; exit 1; }
zip=$(unzip -Z1 "$work/out/suite.zip" | LC_ALL=C sort)
check "ZIP archive" "$( (printf '%s\n' "$order" | sed 's|^veltrane/||'; echo Lib/; echo layout/) |
    LC_ALL=C sort)" "$zip"
grep -q "make-medium: $work/out/suite.zip, $(stat -c %s "$work/out/suite.zip") bytes" \
    "$work/zip.log" || { echo "no size line:"; cat "$work/zip.log"; failures=$((failures + 1)); }

# A row: the file added to the suite | the mode | what the refusal says.
while IFS='|' read -r file mode says; do
    : >"$work/suite/$file"
    # shellcheck disable=SC2086
    if make $mode --out "$work/out/refused" "$work/suite" >"$work/refused.log" 2>&1 ||
        [ -e "$work/out/refused" ] || ! grep -q "$says" "$work/refused.log"; then
        echo "a medium with $file was written or not refused:"
        cat "$work/refused.log"
        failures=$((failures + 1))
    fi
    rm "$work/suite/$file"
done <<EOF
layout/con.txt||con.txt: error: reserved
One character more than a Joliet name on a disc holds refused.txt|--copy-mode|65 characters; .* at most 64
EOF

[ $failures -eq 0 ] || exit 1
echo "make-medium: both kinds written and read back, the image in one pass"

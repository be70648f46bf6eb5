#!/bin/sh
# scripts/make-medium.sh from outside on a small suite: both kinds of medium are written
# and their listings, read with xorriso's Joliet tree and unzip, hold exactly the laid-out
# entries (a name outside ASCII and a long one with blanks included); a name that
# medium-check refuses stops the script before anything is written. The programs here are
# placeholders, so nothing is rehearsed (--no-try).
#   make_medium_test.sh <medium-check> <repository>
set -eu
checker=$1
repo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

mkdir -p "$work/programs" "$work/suite/layout"
for program in setup setup-copy brindle; do
    printf '%s' "$program" >"$work/programs/$program.exe"
done
printf ':%%path%%\\layout\\router.ini\r\nGrid=25\r\n' >"$work/suite/start.ini"
e_acute=$(printf '\303\251')
printf 'caf%s' "$e_acute" >"$work/suite/layout/caf$e_acute.txt"
long="A long name with blanks of more than sixty-four characters, as Joliet allows.txt"
printf 'x' >"$work/suite/$long"

# check NAME EXPECTED ACTUAL: the two listings are equal.
check() {
    if [ "$2" != "$3" ]; then
        printf '%s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

make() {
    MEDIUM_CHECK=$checker sh "$repo/scripts/make-medium.sh" --no-try --programs "$work/programs" \
        "$@"
}

make --copy-mode --label SUITE2 --out "$work/out/suite.iso" "$work/suite" >"$work/iso.log" 2>&1 ||
    { cat "$work/iso.log"; exit 1; }
iso=$(xorriso -indev "$work/out/suite.iso" -read_fs norock -find / -type f 2>/dev/null |
    tr -d "'" | LC_ALL=C sort)
check "ISO image (Joliet)" "$(printf '%s\n' /brindle.exe /setup.exe "/veltrane/$long" \
    "/veltrane/layout/caf$e_acute.txt" /veltrane/start.ini | LC_ALL=C sort)" "$iso"
check "volume label" "SUITE2" "$(xorriso -indev "$work/out/suite.iso" -pvd_info 2>/dev/null |
    sed -n 's/^Volume Id *: *//p')"
check "setup.exe of the image" "setup-copy" \
    "$(xorriso -osirrox on -indev "$work/out/suite.iso" -extract /setup.exe "$work/setup.exe" \
        >/dev/null 2>&1 && cat "$work/setup.exe")"

make --out "$work/out/suite.zip" "$work/suite" >"$work/zip.log" 2>&1 ||
    { cat "$work/zip.log"; exit 1; }
zip=$(unzip -Z1 "$work/out/suite.zip" | LC_ALL=C sort)
check "ZIP archive" "$(printf '%s\n' brindle.exe setup.exe "$long" layout/ \
    "layout/caf$e_acute.txt" start.ini | LC_ALL=C sort)" "$zip"
grep -q "make-medium: $work/out/suite.zip, $(stat -c %s "$work/out/suite.zip") bytes" \
    "$work/zip.log" || { echo "no size line:"; cat "$work/zip.log"; failures=$((failures + 1)); }

: >"$work/suite/layout/con.txt"
if make --out "$work/out/refused.zip" "$work/suite" >"$work/refused.log" 2>&1 ||
    [ -e "$work/out/refused.zip" ] || ! grep -q 'con.txt: error: reserved' "$work/refused.log"
then
    echo "a medium with con.txt was written or not refused:"
    cat "$work/refused.log"
    failures=$((failures + 1))
fi

[ $failures -eq 0 ] || exit 1
echo "make-medium: both kinds written and read back"

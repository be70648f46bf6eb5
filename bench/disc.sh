#!/bin/sh
# The read plan of copy-mode images, printed as one Markdown table: for the sample medium,
# the copy benchmark's reference tree (make_tree.py) and a suite whose files sort after
# their folders (make_late_suite.py), the image as scripts/make-medium.sh writes it (data
# in the order setup reads it) against the same medium in xorriso's own order, each read
# back by scripts/disc-order.py from its Joliet records. A model, not a timing: nothing here depends
# on the machine.
# Usage: bench/disc.sh [work-folder]   (default build/bench-disc; it takes about 400 MB)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
work=${1:-$root/build/bench-disc}
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
trap 'rm -rf "$work/suites" "$work/medium"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir "$work/suites"
cp -R "$root/sample/medium" "$work/suites/sample"
python3 "$here/make_tree.py" "$work/suites/reference" >/dev/null
printf ':%%path%%\\group00\\router.ini\r\nGrid=25\r\n' >"$work/suites/reference/start.ini"
python3 "$here/make_late_suite.py" "$work/suites/late" >/dev/null
printf ':%%path%%\\Lib\\router.ini\r\nGrid=25\r\n' >"$work/suites/late/start.ini"

echo "| Medium | Layout | Read plan |"
echo "|---|---|---|"
for suite in sample reference late; do
    sh "$root/scripts/make-medium.sh" --copy-mode --out "$work/$suite.iso" \
        "$work/suites/$suite" >"$work/$suite.log" 2>&1 || { cat "$work/$suite.log" >&2; exit 1; }
    # The same medium as xorriso lays it out by itself.
    rm -rf "$work/medium"
    mkdir -p "$work/medium/veltrane"
    cp "$root/build/win32/setup-copy.exe" "$work/medium/setup.exe"
    cp "$root/build/win32/brindle.exe" "$work/medium/brindle.exe"
    cp -R "$work/suites/$suite/." "$work/medium/veltrane/"
    xorriso -outdev "$work/$suite-own.iso" -joliet on -map "$work/medium" / \
        >"$work/$suite-own.log" 2>&1
    own=$(python3 "$root/scripts/disc-order.py" check "$work/$suite-own.iso" 2>/dev/null) || true
    echo "| $suite | xorriso's own order | ${own#read plan: } |"
    echo "| $suite | setup's order (make-medium) |" \
        "$(sed -n 's/^make-medium: read plan: //p' "$work/$suite.log") |"
done

#!/bin/sh
# Two builds of the win32 preset from the same sources must give byte-identical shipped
# programs. The second build uses a copy of the source tree at another path and builds in
# another folder, so that neither path can hide in the binaries.
#   check.sh <source-dir> <scratch-parent>
set -eu
source=$(cd "$1" && pwd)
scratch=$(mktemp -d "$2/repro.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
programs="setup.exe setup-copy.exe brindle.exe"

copy="$scratch/another/source-tree"
mkdir -p "$copy"
tar -C "$source" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -

build() {  # build SOURCE BUILD-DIR
    (cd "$1" && cmake --preset win32 -B "$2" >"$2.log" 2>&1 &&
     cmake --build "$2" -j2 --target setup setup-copy brindle >>"$2.log" 2>&1) || {
        echo "the build in $2 failed:"
        tail -n 30 "$2.log"
        exit 1
    }
}
build "$source" "$scratch/first"
build "$copy" "$scratch/second-build"

status=0
for program in $programs; do
    if cmp -s "$scratch/first/$program" "$scratch/second-build/$program"; then
        echo "$program: identical ($(wc -c <"$scratch/first/$program") bytes)"
    else
        echo "$program: differs in $(cmp -l "$scratch/first/$program" \
            "$scratch/second-build/$program" | wc -l) bytes"
        status=1
    fi
done
exit $status

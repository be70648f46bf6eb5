#!/bin/sh
# Builds the fuzz targets of the line reader and the start-file expansion with clang
# (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) into <work-folder>:
#   tests/fuzz/build.sh work-folder
# The targets are run with -max_len=8192. With a 2 KiB read buffer such inputs cross up to
# three block boundaries (the shipped 256 KiB buffer would need inputs of that size), and
# the sanitizer is spared a large allocation per execution.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1
cxx=${CLANGXX:-clang++}
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -DLINE_FILE_BUFFER_SIZE=2048"

build() {
    target=$1
    shift
    # shellcheck disable=SC2086
    "$cxx" $flags -I"$root/setup" "$here/${target}_fuzz.cpp" "$@" -o "$work/${target}_fuzz"
}
build linefile "$root/setup/config/linefile.cpp" "$root/setup/shell/text.cpp"
build startfile "$root/setup/config/startfile.cpp" "$root/setup/config/linefile.cpp" \
    "$root/setup/shell/text.cpp"

#!/bin/sh
# Builds the fuzz targets of the line reader and the start-file expansion with clang
# (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs each in turn.
#   tests/fuzz/run.sh [seconds-per-target] [work-folder]
# Defaults: 60 seconds, build/fuzz. New inputs go to <work-folder>/corpus-<target>, crash
# inputs to <work-folder>/crash-*; the seeds in tests/fuzz/corpus are only read.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${2:-$root/build/fuzz}
mkdir -p "$work"
cxx=${CLANGXX:-clang++}
# With a 2 KiB read buffer, inputs of up to -max_len=8192 bytes cross up to three block
# boundaries (the shipped 256 KiB buffer would need inputs of that size), and the sanitizer
# is spared a large allocation per execution.
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -DLINE_FILE_BUFFER_SIZE=2048"

build() {
    target=$1
    shift
    # shellcheck disable=SC2086
    "$cxx" $flags -I"$root/setup" "$here/${target}_fuzz.cpp" "$@" -o "$work/${target}_fuzz"
}
build linefile "$root/setup/config/linefile.cpp"
build startfile "$root/setup/config/startfile.cpp" "$root/setup/config/linefile.cpp"

for target in linefile startfile; do
    mkdir -p "$work/corpus-$target"
    echo "fuzzing $target for $seconds s"
    "$work/${target}_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus-$target" "$here/corpus/$target"
done

#!/bin/sh
# Builds the fuzz targets of the line reader and the start-file expansion (build.sh) and
# runs each in turn.
#   tests/fuzz/run.sh [seconds-per-target] [work-folder]
# Defaults: 60 seconds, build/fuzz. New inputs go to <work-folder>/corpus-<target>, crash
# inputs to <work-folder>/crash-*; the seeds in tests/fuzz/corpus are only read.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=${2:-$root/build/fuzz}
mkdir -p "$work"
sh "$here/build.sh" "$work"

for target in linefile startfile; do
    mkdir -p "$work/corpus-$target"
    echo "fuzzing $target for $seconds s"
    "$work/${target}_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/" \
        "$work/corpus-$target" "$here/corpus/$target"
done

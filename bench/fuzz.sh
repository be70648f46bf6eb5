#!/bin/sh
# Long fuzz runs of the line reader and the start-file expansion: a fixed number of
# executions per target under AddressSanitizer and UndefinedBehaviorSanitizer (clang,
# libFuzzer), the two targets side by side, then one summary line per target. With --keep,
# the inputs that reached new coverage are merged into the kept corpus
# tests/fuzz/corpus/<target>.
#   bench/fuzz.sh [--keep] [executions-per-target] [work-folder]
# Defaults: 10000000 executions, build/bench-fuzz. Logs: <work-folder>/<target>.log; crash
# inputs: <work-folder>/crash-*. Each execution writes and reads small files in /tmp; as
# root, running it as  unshare -m sh -c 'mount -t tmpfs tmpfs /tmp && bench/fuzz.sh'
# puts those on a private tmpfs and about doubles the speed.
set -eu
keep=0
if [ "${1:-}" = "--keep" ]; then
    keep=1
    shift
fi
runs=${1:-10000000}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
work=${2:-$root/build/bench-fuzz}
mkdir -p "$work"
work=$(cd "$work" && pwd)
fuzz=$root/tests/fuzz
cxx=${CLANGXX:-clang++}
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all"

build() {
    target=$1
    shift
    # shellcheck disable=SC2086
    "$cxx" $flags -I"$root/setup" "$fuzz/${target}_fuzz.cpp" "$@" -o "$work/${target}_fuzz"
}
build linefile "$root/setup/config/linefile.cpp"
build startfile "$root/setup/config/startfile.cpp" "$root/setup/config/linefile.cpp"

# Runs one target; its exit status is left in <work>/<target>.status.
run_target() {
    target=$1
    mkdir -p "$work/corpus-$target"
    start=$(date +%s)
    status=0
    "$work/${target}_fuzz" -runs="$runs" -max_len=8192 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus-$target" "$fuzz/corpus/$target" \
        >"$work/$target.log" 2>&1 || status=$?
    echo "$status $(($(date +%s) - start))" >"$work/$target.status"
}

# The last value of a libFuzzer figure ("cov: 123", "stat::x: 45") in a log.
figure() {
    sed -n "s/.*$2[: ]*\([0-9][0-9]*\).*/\1/p" "$1" | tail -n 1
}

echo "fuzzing linefile and startfile, $runs executions each (logs in $work)"
run_target linefile &
run_target startfile &
wait

result=0
for target in linefile startfile; do
    log=$work/$target.log
    read -r status seconds <"$work/$target.status"
    if [ "$status" != 0 ]; then
        result=1
        echo "$target: FINDING (exit $status), see $log and $work/crash-*"
    fi
    printf '%s: %s executions in %s s (%s/s), coverage %s edges, %s features, corpus %s inputs\n' \
        "$target" "$(figure "$log" 'stat::number_of_executed_units')" "$seconds" \
        "$(figure "$log" 'stat::average_exec_per_sec')" "$(figure "$log" 'cov')" \
        "$(figure "$log" 'ft')" "$(figure "$log" 'corp')"
    if [ "$keep" = 1 ] && [ "$status" = 0 ]; then
        "$work/${target}_fuzz" -merge=1 "$fuzz/corpus/$target" "$work/corpus-$target" \
            >"$work/$target-merge.log" 2>&1
        echo "$target: kept corpus $(find "$fuzz/corpus/$target" -type f | wc -l) inputs," \
            "$(du -sk "$fuzz/corpus/$target" | cut -f1) KiB"
    fi
done
exit $result

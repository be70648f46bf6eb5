#!/bin/sh
# Long fuzz runs of the line reader and the start-file expansion: a fixed number of
# executions per target under AddressSanitizer and UndefinedBehaviorSanitizer (clang,
# libFuzzer), then one summary line per target. Each target's executions are shared out
# over its workers, which run side by side and share one corpus folder; the two targets
# run at the same time (--target picks one of them). With --keep, the inputs that reached
# new coverage are merged into the kept corpus tests/fuzz/corpus/<target>. A run stopped
# with Ctrl+C still prints its figures; the work folder's corpus lets a later run go on.
#   bench/fuzz.sh [--keep] [--workers N] [--target linefile|startfile]
#                 [executions-per-target] [work-folder]
# Defaults: 10000000 executions, half the processors (at least one) as workers per
# target, build/bench-fuzz. Logs: <work-folder>/<target>-<worker>.log; crash inputs:
# <work-folder>/crash-*. Every execution writes and reads small files; they go to
# /dev/shm when that is a writable memory file system (TMPDIR overrides it), which more
# than doubles the speed over a disk.
set -eu
keep=0
targets="linefile startfile"
workers=$(( $(nproc) / 2 ))
[ "$workers" -ge 1 ] || workers=1
while [ $# -gt 0 ]; do
    case $1 in
    --keep) keep=1; shift ;;
    --workers) workers=$2; shift 2 ;;
    --target) targets=$2; shift 2 ;;
    *) break ;;
    esac
done
runs=${1:-10000000}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
work=${2:-$root/build/bench-fuzz}
mkdir -p "$work"
work=$(cd "$work" && pwd)
fuzz=$root/tests/fuzz
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" = tmpfs ]; then
    export TMPDIR=/dev/shm
fi
per_worker=$(( (runs + workers - 1) / workers ))

sh "$fuzz/build.sh" "$work"

# Runs one worker; its exit status and seconds are left in <work>/<target>-<worker>.status.
run_worker() {
    target=$1
    worker=$2
    start=$(date +%s)
    status=0
    "$work/${target}_fuzz" -runs="$per_worker" -max_len=8192 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$work/" -seed="$((worker + 1))" \
        "$work/corpus-$target" "$fuzz/corpus/$target" \
        >"$work/$target-$worker.log" 2>&1 || status=$?
    echo "$status $(($(date +%s) - start))" >"$work/$target-$worker.status"
}

# The last value of a libFuzzer figure ("cov: 123", "stat::x: 45") in a log.
figure() {
    sed -n "s/.*$2[: ]*\([0-9][0-9]*\).*/\1/p" "$1" | tail -n 1
}

echo "fuzzing $targets: $runs executions each over $workers worker(s)" \
    "(logs in $work, scratch files in ${TMPDIR:-/tmp})"
# Ctrl+C stops the workers, which print their figures and leave with 72; the summary and
# the merge still follow.
trap '' INT
for target in $targets; do
    mkdir -p "$work/corpus-$target"
    worker=1
    while [ "$worker" -le "$workers" ]; do
        run_worker "$target" "$worker" &
        worker=$((worker + 1))
    done
done
wait

result=0
for target in $targets; do
    executions=0
    seconds=0
    coverage=0
    features=0
    worker=1
    while [ "$worker" -le "$workers" ]; do
        log=$work/$target-$worker.log
        read -r status took <"$work/$target-$worker.status"
        if [ "$status" = 72 ]; then
            echo "$target worker $worker: interrupted"
        elif [ "$status" != 0 ]; then
            result=1
            echo "$target worker $worker: FINDING (exit $status), see $log and $work/crash-*"
        fi
        executions=$((executions + $(figure "$log" 'stat::number_of_executed_units')))
        [ "$took" -gt "$seconds" ] && seconds=$took
        value=$(figure "$log" 'cov')
        [ "$value" -gt "$coverage" ] && coverage=$value
        value=$(figure "$log" 'ft')
        [ "$value" -gt "$features" ] && features=$value
        worker=$((worker + 1))
    done
    printf '%s: %s executions in %s s (%s/s), coverage %s edges, %s features, corpus %s inputs\n' \
        "$target" "$executions" "$seconds" "$((executions / (seconds > 0 ? seconds : 1)))" \
        "$coverage" "$features" "$(find "$work/corpus-$target" -type f | wc -l)"
    if [ "$keep" = 1 ] && [ "$result" = 0 ]; then
        "$work/${target}_fuzz" -merge=1 "$fuzz/corpus/$target" "$work/corpus-$target" \
            >"$work/$target-merge.log" 2>&1
        # Bytes of the inputs themselves: du would count whole disk blocks per file.
        kept_bytes=$(find "$fuzz/corpus/$target" -type f -printf '%s\n' |
            awk '{n += $1} END {print n + 0}')
        echo "$target: kept corpus $(find "$fuzz/corpus/$target" -type f | wc -l) inputs," \
            "$kept_bytes bytes"
    fi
done
exit $result

#!/bin/sh
# Runs every test: installs what is missing, builds the three presets and runs their tests
# (native unit tests, checks on the shipped i686 binaries, Windows tests under Wine). The
# end-to-end tests run the shipped i686 programs (32-bit Wine) and the x86_64 ones.
# Ctrl-C or SIGTERM stops the run where it is: the step under way is ended, the Wine
# sessions stopped and qemu's entry for this run removed; the status is then 130 or 143.
set -eu
cd "$(dirname "$0")/.."

run_id=test-$$
step=
beside=
clean_up() {
    # A step, and each run of tests beside one, has a process group of its own; ending the
    # group ends ctest's tests and the Wine programs they started.
    for running in $step $beside; do
        kill -TERM "-$running" 2>/dev/null || true
        wait "$running" 2>/dev/null || true
    done
    for session in build/win64/tests/lanes/*; do
        [ -d "$session" ] && sh tests/faults/fault-drives.sh unmount "$session" 2>/dev/null || true
    done
    for build in build/win64 build/win64/tests/lanes/*; do
        if [ -f "$build/wine/env" ]; then
            sh tests/harness/wine-session.sh stop "$build" || true
        fi
    done
    scripts/i386-support.sh disable "$run_id" || true
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs one step in the background, so that a signal reaches this script at once.
run_step() {
    setsid "$@" &
    step=$!
    status=0
    wait "$step" || status=$?
    step=
    return $status
}

# Where the kernel refuses 32-bit programs, qemu runs them for this test run only.
if [ "$(scripts/i386-support.sh mode)" != native ]; then
    scripts/i386-support.sh enable "$run_id" || true
fi
scripts/install-deps.sh

# Tests run side by side, twice as many as there are processors and at least four: the
# end-to-end tests run in Wine sessions of their own, one test a session (see
# tests/CMakeLists.txt), and spend most of their time waiting for pages and programs.
jobs=$(nproc)
tests_at_once=$((2 * jobs))
[ "$tests_at_once" -ge 4 ] || tests_at_once=4
presets="native win32 win64"
for preset in $presets; do
    run_step cmake --preset "$preset" >/dev/null
    run_step cmake --build --preset "$preset" -j"$jobs"
done
# The native and win32 tests need the processors while the Windows tests mostly wait on
# Wine: they run beside those, and their output follows once they end.
setsid ctest --preset native -j"$tests_at_once" >build/native/test-run.log 2>&1 &
native_run=$!
setsid ctest --preset win32 -j"$tests_at_once" >build/win32/test-run.log 2>&1 &
win32_run=$!
beside="$native_run $win32_run"

# Waits for the tests of PRESET that ran beside as PID, shows their output and fails as they did.
finish_beside() {
    status=0
    wait "$2" || status=$?
    echo
    cat "build/$1/test-run.log"
    return $status
}

failed=0
run_step ctest --preset win64 -j"$tests_at_once" || failed=1
finish_beside native "$native_run" || failed=1
finish_beside win32 "$win32_run" || failed=1
beside=
if [ -s build/win64/wine/i686-not-run ]; then
    echo
    echo "*** The shipped i686 programs were NOT run: $(cat build/win64/wine/i686-not-run)"
    echo "*** The end-to-end tests ran the x86_64 programs only."
fi
exit $failed

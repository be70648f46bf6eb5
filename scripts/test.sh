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
clean_up() {
    # A step runs in a process group of its own; ending the group ends ctest's tests and
    # the Wine programs they started.
    if [ -n "$step" ]; then
        kill -TERM "-$step" 2>/dev/null || true
        wait "$step" 2>/dev/null || true
    fi
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
failed=0
for preset in $presets; do
    run_step ctest --preset "$preset" -j"$tests_at_once" || failed=1
done
if [ -s build/win64/wine/i686-not-run ]; then
    echo
    echo "*** The shipped i686 programs were NOT run: $(cat build/win64/wine/i686-not-run)"
    echo "*** The end-to-end tests ran the x86_64 programs only."
fi
exit $failed

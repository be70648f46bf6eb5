#!/bin/sh
# Runs every test: installs what is missing, builds the three presets and runs their tests
# (native unit tests, checks on the shipped i686 binaries, Windows tests under Wine). The
# end-to-end tests run the shipped i686 programs (32-bit Wine) and the x86_64 ones.
set -eu
cd "$(dirname "$0")/.."

# Where the kernel refuses 32-bit programs, qemu runs them for this test run only.
if [ "$(scripts/i386-support.sh mode)" = none ] && scripts/i386-support.sh enable; then
    trap 'scripts/i386-support.sh disable' EXIT INT TERM
fi
scripts/install-deps.sh

presets="native win32 win64"
for preset in $presets; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
done
status=0
for preset in $presets; do
    ctest --preset "$preset" || status=1
done
if [ -s build/win64/wine/i686-not-run ]; then
    echo
    echo "*** The shipped i686 programs were NOT run: $(cat build/win64/wine/i686-not-run)"
    echo "*** The end-to-end tests ran the x86_64 programs only."
fi
exit $status

#!/bin/sh
# Runs every test: installs what is missing, builds the three presets and runs their tests
# (native unit tests, checks on the shipped i686 binaries, Windows tests under Wine).
set -eu
cd "$(dirname "$0")/.."
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
exit $status

#!/bin/sh
# Runs a Windows program of the tests in the build's Wine session (see wine-session.sh).
# The build folder is found from the program's path: <build-dir>/... .
# A test run on the shipped i686 programs (VELTRANE_E2E_ARCH=i686) is skipped with exit code
# 77 when the session found that 32-bit Wine does not run here.
set -eu
program=$1
dir=$(cd "$(dirname "$program")" && pwd)
while [ ! -f "$dir/wine/env" ] && [ "$dir" != "/" ]; do
    dir=$(dirname "$dir")
done
if [ ! -f "$dir/wine/env" ]; then
    echo "wine-run: no Wine session for $program (run the tests through ctest)" >&2
    exit 125
fi
# shellcheck disable=SC1091
. "$dir/wine/env"
if [ "${VELTRANE_E2E_ARCH:-}" = i686 ] && [ "${VELTRANE_I686:-no}" != yes ]; then
    echo "wine-run: i686 programs not run: $(cat "$dir/wine/i686-not-run" 2>/dev/null)" >&2
    exit 77
fi
exec /usr/lib/wine/wine64 "$@"

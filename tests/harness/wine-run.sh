#!/bin/sh
# Runs a Windows program of the tests in a Wine session (see wine-session.sh): the one under
# VELTRANE_WINE_SESSION when the test names one (the end-to-end tests each run in a session
# of their own), else the build's, found from the program's path: <build-dir>/... .
# A test run on the shipped i686 programs (VELTRANE_E2E_ARCH=i686) is skipped with exit code
# 77 when the session found that 32-bit Wine does not run here.
set -eu
program=$1
dir=${VELTRANE_WINE_SESSION:-$(cd "$(dirname "$program")" && pwd)}
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
if [ -z "${VELTRANE_WINE_SESSION:-}" ]; then
    exec /usr/lib/wine/wine64 "$@"
fi
status=0
/usr/lib/wine/wine64 "$@" || status=$?
# In a session of its own, whatever the test left running (a program that its cases
# started, or that program's own helpers, such as the shell's INF installer) ends with it:
# the next test starts on a clean session, and nothing holds the test's output open.
sh "$(dirname "$0")/wine-session.sh" restart "$dir" >/dev/null 2>&1 || true
exit $status

#!/bin/sh
# Runs a Windows program of the tests in the build's Wine session (see wine-session.sh).
# The build folder is found from the program's path: <build-dir>/... .
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
exec /usr/lib/wine/wine64 "$@"

#!/bin/sh
# Installs the Debian packages that the build, the tests and the demo need, when missing.
# Safe to run again; never adds a foreign architecture (32-bit code cannot run here).
set -eu

packages="cmake make g++ clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine xvfb googletest
imagemagick python3 xorriso zip unzip tzdata"

missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing

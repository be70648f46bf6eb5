#!/bin/sh
# Installs the Debian packages that the build, the tests and the demo need, when missing.
# Safe to run again. The shipped programs are i686 and run under 32-bit Wine, so this adds
# the i386 architecture and wine32:i386 beside wine64 (apt may move some amd64 libraries to
# the versions of their i386 twins). Where the kernel refuses 32-bit programs, the caller
# registers qemu for them first (scripts/i386-support.sh enable); without either, wine32 is
# left out and the tests run the x86_64 programs only.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

packages="cmake make g++ clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine xvfb googletest
imagemagick python3 python3-pefile xorriso genisoimage libarchive-tools zip tzdata locales"
if [ "$("$root/scripts/i386-support.sh" mode)" != none ]; then
    packages="$packages wine32:i386"
fi

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
case $missing in
*:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing

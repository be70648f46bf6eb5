#!/bin/sh
# Installs the Debian packages that the build, the tests and the demo need, when missing.
# Safe to run again. The shipped programs are i686 and run under 32-bit Wine, so this adds
# the i386 architecture and wine32:i386 beside wine64 (apt may move some amd64 libraries to
# the versions of their i386 twins). Where the kernel refuses 32-bit programs, the caller
# registers qemu for them first (scripts/i386-support.sh enable); without either, wine32 is
# left out and the tests run the x86_64 programs only.
#   install-deps.sh              the project's packages
#   install-deps.sh PACKAGE...   just these (i386-support.sh installs qemu this way)
# While a mirror syncs, one of its package lists can stay broken for an hour ("File has
# unexpected size"). The update is tried a few times; if a list stays broken, it says which
# and installs from the lists it has, falling back to the release's own versions where the
# security suite's are there for one architecture only (i386 twins must match exactly).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -gt 0 ]; then
    packages=$*
else
    packages="cmake make g++ clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-x86-64-posix
g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wine64 fonts-wine
xvfb googletest imagemagick python3 python3-pefile xorriso genisoimage libarchive-tools zip
tzdata locales"
    if [ "$("$root/scripts/i386-support.sh" mode)" != none ]; then
        packages="$packages wine32:i386"
    fi
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

# Fetches the package lists, three tries 10 s and 20 s apart; fails when one stays broken,
# after showing apt's own account of which.
update_lists() {
    log=$(mktemp)
    for pause in 10 20 0; do
        if apt-get update -qq >"$log" 2>&1; then
            rm -f "$log"
            return 0
        fi
        [ "$pause" -eq 0 ] || sleep "$pause"
    done
    echo "install-deps: a package list could not be fetched, even on the third try:" >&2
    grep '^E:' "$log" >&2 || cat "$log" >&2
    rm -f "$log"
    return 1
}

lists_whole=yes
update_lists || lists_whole=no
# shellcheck disable=SC2086
if apt-get install -y -qq --no-install-recommends $missing; then
    exit 0
fi
[ "$lists_whole" = no ] || exit 1
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
echo "install-deps: installing again from the lists that arrived, preferring $codename's" \
    "own versions (apt-get install -t $codename)" >&2
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends -t "$codename" $missing
echo "install-deps: installed from the lists that arrived, with $codename's own versions" \
    "where the security suite's lacked a twin; run again once the mirror is whole" >&2

#!/bin/sh
# Whether this machine runs 32-bit x86 programs, which the 32-bit Wine that runs the shipped
# i686 programs needs. Some kernels here have that support switched off ("Exec format
# error"); there, 32-bit programs run under qemu-user instead, through binfmt_misc entries
# of ours that hand i386 ELF programs to qemu-i386-static.
#   i386-support.sh mode            prints native, qemu or none
#   i386-support.sh enable [RUN]    as root: registers the entry veltrane-i386-RUN when the
#                                   kernel refuses 32-bit programs (installs qemu-user-static
#                                   first); exit 1 if no way
#   i386-support.sh disable [RUN]   removes that entry if it is registered
# Each run (a test run, a demo) registers an entry of its own, named for it (by default
# "veltrane-i386"), and removes only that one: two runs side by side never pull the entry
# from under each other, and qemu stays while any of them needs it.
set -eu

binfmt=/proc/sys/fs/binfmt_misc
prefix=veltrane-i386
entry=$prefix${2:+-$2}

# A static i386 program of 96 bytes that only exits with code 42: exit(42) by int 0x80.
probe_runs() {
    probe=$(mktemp)
    # Also when this script is ended meanwhile (a rehearsal's watchdog ends it so).
    trap 'rm -f "$probe"' EXIT
    trap 'exit 143' TERM
    printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >"$probe"
    chmod +x "$probe"
    status=0
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    [ $status -eq 42 ]
}

# Whether an entry of ours (of any run) is registered and enabled.
any_entry_registered() {
    for registered in "$binfmt/$prefix" "$binfmt/$prefix"-*; do
        [ -f "$registered" ] && grep -q '^enabled' "$registered" && return 0
    done
    return 1
}

mode() {
    if any_entry_registered; then
        probe_runs && echo qemu || echo none
    elif probe_runs; then
        echo native
    else
        echo none
    fi
}

enable() {
    [ -f "$binfmt/$entry" ] && return 0
    # Natively, unless the probe ran only through another run's entry.
    if ! any_entry_registered && probe_runs; then
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "i386-support: this kernel refuses 32-bit programs; run as root to use qemu" >&2
        return 1
    fi
    if [ ! -x /usr/bin/qemu-i386-static ]; then
        sh "$(dirname "$0")/install-deps.sh" qemu-user-static >/dev/null
    fi
    [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    if [ ! -f "$binfmt/register" ]; then
        echo "i386-support: binfmt_misc is not available; 32-bit programs cannot run" >&2
        return 1
    fi
    # ELF, 32-bit, little-endian, executable or shared object, machine 3 (i386). F: the
    # kernel opens qemu now, so the entry works in any mount namespace.
    printf '%s' ":$entry:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:/usr/bin/qemu-i386-static:F" \
        >"$binfmt/register"
    if ! probe_runs; then
        echo "i386-support: 32-bit programs do not run even under qemu" >&2
        disable
        return 1
    fi
}

disable() {
    if [ -f "$binfmt/$entry" ]; then
        echo -1 >"$binfmt/$entry"
    fi
}

case ${1:-} in
mode) mode ;;
enable) enable ;;
disable) disable ;;
*) echo "usage: $0 mode | enable [RUN] | disable [RUN]" >&2; exit 2 ;;
esac

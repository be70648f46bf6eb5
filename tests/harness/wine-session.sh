#!/bin/sh
# Starts or stops the Wine session that the Windows tests of one build run in: a private
# prefix under the build folder, an Xvfb display of its own and one persistent wineserver.
#   wine-session.sh start <build-dir>    wine-session.sh stop <build-dir>
#   wine-session.sh restart <build-dir>  (a new wineserver for the same prefix and display)
#   wine-session.sh template <dir>       (a prefix made and left stopped, for WINE_SESSION_TEMPLATE)
# WINE_SESSION_TEMPLATE=<dir> starts from a copy of the prefix that `template` made there
# instead of making one (wineboot takes a minute or more; the copy, seconds).
# WINE_SESSION_DISPLAY=:0 uses that display instead of a private Xvfb (a person watching);
# WINE_SESSION_DESKTOP=1024x768 runs every program in a Wine virtual desktop of that size,
# which draws frames and title bars without a window manager.
# WINE_SESSION_LOCALE=ja_JP.UTF-8 runs the session in that locale (and so in its ANSI code
# page, 932 here), built with localedef into the session's folder from Debian's locales.
# Every prefix gets the look of Windows 95: its bitmap MS Sans Serif, its colours and caption
# font (classic-look.reg).
# The programs under test then run through wine-run.sh, which reads <build-dir>/wine/env.
# The session also finds out whether 32-bit Wine runs the i686 programs here: env then holds
# VELTRANE_I686=yes, or no with the reason in <build-dir>/wine/i686-not-run.
set -eu

action=$1
state=$(cd "$2" && pwd)/wine
wine_bin=/usr/lib/wine
wine_fonts=/usr/share/wine/fonts
prefix_fonts="marlett.ttf sserife.fon"
harness=$(cd "$(dirname "$0")" && pwd)

# Ends the session's wineserver and every program it runs, and waits until they are gone.
end_wineserver() {
    "$wine_bin/wineserver" -k 2>/dev/null || true
    "$wine_bin/wineserver" -w 2>/dev/null || true
}

stop_session() {
    [ -f "$state/env" ] || return 0
    # shellcheck disable=SC1091
    . "$state/env"
    end_wineserver
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
        rm -f "$state/xvfb.pid"
    fi
    rm -f "$state/env"
}

# Where the kernel refuses 32-bit programs and qemu runs them, every 32-bit Wine process
# gets the library that gives Wine's loader the kernel's answers to its mapping requests.
qemu_environment() {
    [ "$(sh "$harness/../../scripts/i386-support.sh" mode)" = qemu ] || return 0
    if ${CC:-cc} -m32 -O2 -shared -fPIC -nostdlib -ffreestanding -o "$state/libmapfix.so" \
        "$harness/qemu-mapfix.c" 2>"$state/mapfix.log"; then
        echo "export QEMU_SET_ENV=LD_PRELOAD=$state/libmapfix.so"
    fi
}

# Whether a 32-bit program of the prefix runs: the answer and, when not, why.
check_i686() {
    rm -f "$state/i686-not-run"
    if [ ! -x "$wine_bin/wine" ]; then
        reason="32-bit Wine (wine32:i386) is not installed"
    elif [ "$(sh "$harness/../../scripts/i386-support.sh" mode)" = none ]; then
        reason="this kernel refuses 32-bit programs and qemu is not registered for them"
    else
        status=0
        "$wine_bin/wine64" 'C:\windows\syswow64\cmd.exe' /c exit 3 </dev/null \
            >>"$state/wineboot.log" 2>&1 || status=$?
        [ $status -eq 3 ] && { echo yes; return 0; }
        reason="a 32-bit program of the prefix failed (exit code $status)"
    fi
    echo "$reason" >"$state/i686-not-run"
    echo no
}

# Wine's desktop process ends a moment after the last program that uses it; a program
# started in that moment waits some 10 s for the next one. A console waiting on a pipe that
# never ends keeps the desktop up for the whole session (wineserver -k ends it).
# The desktop process is started by the first program that needs it and keeps that
# program's standard error open: a test's output would stay open (and ctest waiting) until
# the session ends. The session starts it first, through a program that makes a window.
hold_desktop() {
    rm -f "$state/desktop-holder"
    mkfifo "$state/desktop-holder"
    "$wine_bin/wine64" cmd.exe <>"$state/desktop-holder" >/dev/null 2>&1 &
    "$wine_bin/wine64" rundll32.exe user32.dll,GetDesktopWindow </dev/null \
        >>"$state/wineboot.log" 2>&1 || true
}

# A new wineserver for the running session, e.g. so that Wine's services read the drive
# types again: they start afresh with the next program.
restart_session() {
    # shellcheck disable=SC1091
    . "$state/env"
    end_wineserver
    "$wine_bin/wineserver" -p </dev/null >/dev/null 2>&1
    hold_desktop
}

start_session() {
    for font in $prefix_fonts; do
        if [ ! -f "$wine_fonts/$font" ]; then
            echo "wine-session: $wine_fonts/$font is missing (package fonts-wine)" >&2
            exit 1
        fi
    done
    stop_session
    mkdir -p "$state"
    rm -rf "$state/prefix"
    locale_env=
    locale=${WINE_SESSION_LOCALE:-}
    if [ -n "$locale" ]; then
        locales=$state/locales
        mkdir -p "$locales"
        # localedef may warn and still build the locale.
        localedef -i "${locale%%.*}" -f "${locale#*.}" "$locales/$locale" \
            >"$state/localedef.log" 2>&1 || true
        if [ ! -f "$locales/$locale/LC_CTYPE" ]; then
            echo "wine-session: cannot build locale $locale (package locales):" >&2
            cat "$state/localedef.log" >&2
            exit 1
        fi
        locale_env="export LOCPATH=\"$locales\" LANG=$locale LC_ALL=$locale"
    fi
    if [ -n "${WINE_SESSION_DISPLAY:-}" ]; then
        display=${WINE_SESSION_DISPLAY#:}
    else
        # Xvfb picks a free display itself and reports it, so that sessions started side
        # by side never race for one.
        rm -f "$state/display"
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp </dev/null \
            >"$state/xvfb.log" 2>&1 3>"$state/display" &
        echo $! >"$state/xvfb.pid"
        tries=0
        until [ -s "$state/display" ] && grep -q . "$state/display"; do
            tries=$((tries + 1))
            [ $tries -gt 600 ] && { echo "wine-session: Xvfb did not start" >&2; exit 1; }
            sleep 0.1
        done
        display=$(head -n 1 "$state/display")
    fi
    cat >"$state/env" <<ENV
export WINEPREFIX="$state/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=":$display"
export WINE_SESSION_STATE="$state"
$locale_env
$(qemu_environment)
ENV
    # shellcheck disable=SC1091
    . "$state/env"
    if [ -n "${WINE_SESSION_TEMPLATE:-}" ]; then
        copy_prefix "$(cd "$WINE_SESSION_TEMPLATE" && pwd)/wine/prefix" "$WINEPREFIX"
        "$wine_bin/wineserver" -p </dev/null >/dev/null 2>&1
        finish_session
        return 0
    fi
    mkdir -p "$WINEPREFIX"
    "$wine_bin/wineserver" -p </dev/null >/dev/null 2>&1
    "$wine_bin/wine64" wineboot -i </dev/null >"$state/wineboot.log" 2>&1
    # Wine does not look for fonts where Debian's fonts-wine puts them, only in the prefix.
    # Marlett draws the caption buttons (without it they show as "0 1 r"); sserife.fon is
    # Windows 95's bitmap MS Sans Serif, the pages' font, which Wine would otherwise replace
    # with a wider outline font.
    for font in $prefix_fonts; do
        cp "$wine_fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    "$wine_bin/wine64" regedit /S "$(printf 'Z:%s' "$harness/classic-look.reg" | tr / '\\')" \
        >>"$state/wineboot.log" 2>&1
    # Without a window manager Wine waits 2 s whenever a window is hidden; unmanaged
    # windows do not.
    "$wine_bin/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        >>"$state/wineboot.log" 2>&1
    if [ -n "${WINE_SESSION_DESKTOP:-}" ]; then
        "$wine_bin/wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
            >>"$state/wineboot.log" 2>&1
        "$wine_bin/wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
            /d "$WINE_SESSION_DESKTOP" /f >>"$state/wineboot.log" 2>&1
    fi
    finish_session
}

finish_session() {
    hold_desktop
    echo "export VELTRANE_I686=$(check_i686)" >>"$state/env"
    echo "wine session ready on display :$display, prefix $WINEPREFIX"
    if [ -s "$state/i686-not-run" ]; then
        echo "wine session: the i686 programs will NOT run: $(cat "$state/i686-not-run")"
    fi
}

# The prefix's system DLL folders hold over a gigabyte that nothing writes while the tests
# run: a copy links their files; everything else (registry, C:\windows\setup.ini, the
# fonts, the scratch folders) is copied.
shared_folders="drive_c/windows/system32 drive_c/windows/syswow64"

copy_prefix() {  # copy_prefix FROM TO
    mkdir -p "$2"
    excluded=
    for folder in $shared_folders; do
        excluded="$excluded --exclude=./$folder"
    done
    # shellcheck disable=SC2086
    tar -C "$1" $excluded -cf - . | tar -C "$2" -xf -
    for folder in $shared_folders; do
        cp -al "$1/$folder" "$2/$folder"
    done
}

# A prefix made as a session's and left with its wineserver ended, so that the registry
# is written out whole.
make_template() {
    start_session
    stop_session
}

case $action in
start) start_session ;;
template) make_template ;;
stop) stop_session ;;
restart) restart_session ;;
*) echo "usage: $0 start|stop|restart|template <build-dir>" >&2; exit 2 ;;
esac

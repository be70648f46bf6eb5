#!/bin/sh
# The release rehearsed as a release engineer does it: make-medium builds the sample
# suite's ISO (copy mode) and ZIP (in place) and rehearses each, and both must install
# with every check holding; SIGHUP to make-medium and SIGQUIT to try-medium during a
# rehearsal end it at once and cleanly; a laid-out medium whose suite lacks router.exe is
# rehearsed from its folder and must fail, naming both shortcuts that lead to nothing, and
# make-medium must not write that suite's image.
#   rehearsal_test.sh <repository> <folder of the i686 programs and the sample suite>
set -eu
repo=$1
programs=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/rehearsal.XXXXXX")
runner=
trap '[ -z "$runner" ] || kill "$runner" 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
failures=0
suite="$programs/sample/veltrane"
[ -f "$suite/orvane.exe" ] || { echo "no sample suite in $programs: build the win32 preset"; exit 1; }

# expect NAME STATUS WANTED LOG: the run NAME ended with a status that is 0 exactly when
# WANTED is 0, and a rehearsal that could not run here skips the test.
expect() {
    if grep -q 'cannot rehearse here' "$4"; then
        echo "skipped: $(grep 'cannot rehearse here' "$4")"
        exit 77
    fi
    if [ "$2" -eq 0 ] && [ "$3" -ne 0 ] || [ "$2" -ne 0 ] && [ "$3" -eq 0 ]; then
        echo "$1: exit status $2:"
        cat "$4"
        failures=$((failures + 1))
    fi
}

# has NAME FILE TEXT: the report or log FILE of NAME holds a line with TEXT.
has() {
    if ! grep -qF -- "$3" "$2"; then
        echo "$1: no line with \"$3\" in:"
        cat "$2"
        failures=$((failures + 1))
    fi
}

for kind in iso zip; do
    [ $kind = iso ] && mode=--copy-mode || mode=
    status=0
    # shellcheck disable=SC2086
    sh "$repo/scripts/make-medium.sh" $mode --programs "$programs" --out "$work/sample.$kind" \
        "$suite" >"$work/$kind.log" 2>&1 || status=$?
    expect "$kind" $status 0 "$work/$kind.log"
    report="$work/try-sample-$kind/report.txt"
    has "$kind" "$report" "try-medium: PASSED"
    has "$kind" "$report" "Uninstall Veltrane     C:\\veltrane\\unvelt.exe"
    # The contact sheet, read back by another program: two rows of two 512x384 pages.
    size=$(identify -format '%w %h' "$work/try-sample-$kind/contact-sheet.png" 2>&1 || true)
    if [ "${size% *}" != 1048 ] || [ "${size#* }" -lt 792 ] 2>/dev/null; then
        echo "$kind: a contact sheet of $size"
        failures=$((failures + 1))
    fi
done
has iso "$work/try-sample-iso/report.txt" \
    "Pages reached:     Welcome, Licence Agreement, Directory to install Veltrane, Setup completed"
has iso "$work/try-sample-iso/report.txt" "drive D: of type 5 (5 is a CD-ROM)"
has iso "$work/try-sample-iso/report.txt" "Drive D:           unchanged"
has zip "$work/try-sample-zip/report.txt" "Pages reached:     Welcome, Licence Agreement, Setup completed"

alive() {
    case $(ps -o stat= -p "$1") in '' | Z*) return 1 ;; esac
}
# cut NAME SIGNAL CODE MARK SESSION COMMAND...: runs COMMAND in the background (SIGINT and
# SIGQUIT not ignored, as a terminal sends them), sends SIGNAL once MARK exists, and wants it
# ended within 10 s with exit CODE and the Wine session SESSION stopped: no env, no prefix,
# no display. Its output is in <work>/NAME.log.
cut() {
    name=$1 signal=$2 code=$3 mark=$4 session=$5
    shift 5
    (exec env --default-signal=INT,QUIT "$@" >"$work/$name.log" 2>&1 </dev/null) &
    runner=$!
    tries=0
    until [ -e "$mark" ] || ! alive "$runner" || [ $tries -ge 1800 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    kill -"$signal" "$runner"
    tries=0
    while alive "$runner" && [ $tries -lt 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    status=0
    if alive "$runner"; then
        echo "$name: still running 10 s after SIG$signal"
        failures=$((failures + 1))
        kill -KILL "$runner"
    fi
    wait "$runner" || status=$?
    runner=
    expect "$name" 0 0 "$work/$name.log"
    if [ $status -ne "$code" ] || [ -e "$session/env" ] || [ -e "$session/prefix" ] ||
        { [ -s "$session/xvfb.pid" ] && alive "$(cat "$session/xvfb.pid")"; }; then
        echo "$name: exit status $status; of the Wine session: $(ls "$session" | tr '\n' ' ')"
        cat "$work/$name.log"
        failures=$((failures + 1))
    fi
}
# SIGHUP (a closed terminal) once the rehearsal has unpacked the image: make-medium ends at
# once, as an interrupted run (exit 129), with the rehearsal's Wine session stopped and
# nothing beside --out but the rehearsal's report folder. The bound of 10 s allows a busy
# machine; the rest of the rehearsal, a Wine session started and every page walked, takes
# longer.
cut cut HUP 129 "$work/cut/try-sample-iso/unpack.log" "$work/cut/try-sample-iso/wine" \
    sh "$repo/scripts/make-medium.sh" --copy-mode --programs "$programs" \
    --out "$work/cut/sample.iso" "$suite"
if [ "$(ls -A "$work/cut")" != try-sample-iso ]; then
    echo "cut: left beside --out: $(ls -A "$work/cut" | tr '\n' ' ')"
    failures=$((failures + 1))
fi
# try-medium on its own, SIGQUIT once its session is up: exit 131, the session stopped.
cut quit QUIT 131 "$work/quit/wine/env" "$work/quit/wine" \
    sh "$repo/scripts/try-medium.sh" --work "$work/quit" "$work/sample.iso"

medium="$work/broken"
mkdir -p "$medium"
cp -R "$suite/." "$medium/"
cp "$programs/setup.exe" "$programs/brindle.exe" "$medium/"
rm "$medium/router.exe"
status=0
sh "$repo/scripts/try-medium.sh" --work "$work/try-broken" "$medium" >"$work/broken.log" 2>&1 ||
    status=$?
expect broken $status 1 "$work/broken.log"
has broken "$work/broken.log" 'the shortcut "Autorouter" leads to nothing: C:\veltrane\router.exe'
has broken "$work/broken.log" 'the shortcut "Interactive Router" leads to nothing'
has broken "$work/broken.log" "try-medium: FAILED: 2 problem(s)"
# make-medium on that suite: the failed rehearsal leaves --out unwritten.
rm "$medium/setup.exe" "$medium/brindle.exe"
status=0
sh "$repo/scripts/make-medium.sh" --programs "$programs" --out "$work/unwritten/sample.zip" \
    "$medium" >"$work/unwritten.log" 2>&1 || status=$?
expect unwritten $status 1 "$work/unwritten.log"
has unwritten "$work/unwritten.log" "try-medium: FAILED: 2 problem(s)"
if [ "$(ls -A "$work/unwritten")" != try-sample-zip ]; then
    echo "unwritten: beside --out: $(ls -A "$work/unwritten" | tr '\n' ' ')"
    failures=$((failures + 1))
fi

[ $failures -eq 0 ] || exit 1
echo "rehearsal: the sample's ISO and ZIP installed; the medium without router.exe was caught"

#!/bin/sh
# The release rehearsed as a release engineer does it: the README's release in three
# commands, as written, checks the sample suite, builds its ISO (copy mode) with make-medium
# and rehearses it twice; make-medium builds the ZIP (in place) and rehearses it in C:\vélo,
# a folder whose name is not ASCII; both must install with every check holding; SIGHUP to
# make-medium and SIGQUIT to try-medium during a rehearsal end it at once and cleanly, and so
# does SIGKILL to try-medium, whose watchdog ends the rest; a laid-out medium whose suite
# lacks router.exe is rehearsed from its folder and must fail, naming both shortcuts that
# lead to nothing and nothing else, and make-medium must not write that suite's image; a
# rehearsal whose bound passes says so.
#   rehearsal_test.sh <repository> <folder of the i686 programs and the sample suite>
#                     <native build folder> <win64 build folder>
set -eu
repo=$1
programs=$2
native=$3
win64=$4
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

# The README's release block, its numbered commands as written, run from a checkout whose
# build folder holds the presets' builds, so that what they write stays in this test's work.
# The shipped programs and the sample suite are copied into it: copy-mode list paths are
# measured from where the medium lies, which here does not depend on where the real
# checkout lies.
checkout="$work/checkout"
mkdir -p "$checkout/build/win32"
for entry in "$repo"/* "$repo"/.[!.]*; do
    [ -e "$entry" ] && [ "$(basename "$entry")" != build ] && ln -s "$entry" "$checkout/"
done
cp -R "$programs/setup.exe" "$programs/setup-copy.exe" "$programs/brindle.exe" \
    "$programs/sample" "$checkout/build/win32/"
ln -s "$native" "$checkout/build/native"
ln -s "$win64" "$checkout/build/win64"
sed -n '/^### The release in three commands/,/^## /p' "$repo/README.md" |
    sed -n '/^```sh/,/^```/p' | grep -E '# [123]\. ' >"$work/release.sh" || true
step=0
while IFS= read -r command; do
    step=$((step + 1))
    status=0
    (cd "$checkout" && sh -c "$command") >"$work/release-$step.log" 2>&1 </dev/null || status=$?
    expect "release command $step ($command)" $status 0 "$work/release-$step.log"
done <"$work/release.sh"
if [ $step -ne 3 ]; then
    echo "the README's release block holds $step numbered commands, not 3"
    failures=$((failures + 1))
fi

status=0
sh "$repo/scripts/make-medium.sh" --programs "$programs" --install-dir 'C:\vélo' \
    --out "$work/sample.zip" "$suite" >"$work/zip.log" 2>&1 || status=$?
expect zip $status 0 "$work/zip.log"

# The reports of the image's rehearsals (make-medium's and the one on its own) and the ZIP's.
iso_report="$checkout/build/medium/try-veltrane-iso/report.txt"
again_report="$checkout/build/try-medium/veltrane-iso/report.txt"
zip_report="$work/try-sample-zip/report.txt"
for report in "$iso_report" "$again_report" "$zip_report"; do
    has "$report" "$report" "try-medium: PASSED"
    installed='C:\veltrane'
    [ "$report" != "$zip_report" ] || installed='C:\vélo'
    has "$report" "$report" "Uninstall Veltrane     $installed\\unvelt.exe"
    # The contact sheet, read back by another program: two rows of two 512x384 pages.
    size=$(identify -format '%w %h' "$(dirname "$report")/contact-sheet.png" 2>&1 || true)
    if [ "${size% *}" != 1048 ] || [ "${size#* }" -lt 792 ] 2>/dev/null; then
        echo "$report: a contact sheet of $size"
        failures=$((failures + 1))
    fi
done
for report in "$iso_report" "$again_report"; do
    has iso "$report" \
        "Pages reached:     Welcome, Licence Agreement, Directory to install Veltrane, Setup completed"
    has iso "$report" "drive D: of type 5 (5 is a CD-ROM)"
    has iso "$report" "Drive D:           unchanged"
done
has zip "$zip_report" "Pages reached:     Welcome, Licence Agreement, Setup completed"

alive() {
    case $(ps -o stat= -p "$1") in '' | Z*) return 1 ;; esac
}
# cut NAME SIGNAL CODE MARK SESSION COMMAND...: runs COMMAND in the background (SIGINT and
# SIGQUIT not ignored, as a terminal sends them), sends SIGNAL once MARK exists, and wants it
# ended within 10 s with exit CODE and the Wine session SESSION stopped: no env, no prefix,
# no display, no qemu entry, once the rehearsal's lock beside SESSION is free (its last part
# lets it go). Its output is in <work>/NAME.log.
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
    if ! alive "$runner" || [ ! -e "$mark" ]; then
        echo "$name: ended or stalled before $mark came:"
        kill -KILL "$runner" 2>/dev/null || true
        wait "$runner" || true
        runner=
        cat "$work/$name.log"
        failures=$((failures + 1))
        return
    fi
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
    wait "$runner" 2>/dev/null || status=$?
    if ! flock -w 30 "$(dirname "$session")/lock" true; then
        echo "$name: the rehearsal's lock is still held 30 s after SIG$signal"
        failures=$((failures + 1))
    fi
    if [ -e "/proc/sys/fs/binfmt_misc/veltrane-i386-try-$runner" ]; then
        echo "$name: its qemu entry veltrane-i386-try-$runner is still registered"
        failures=$((failures + 1))
    fi
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
    sh "$repo/scripts/try-medium.sh" --work "$work/quit" "$checkout/build/medium/veltrane.iso"
# SIGKILL, which leaves try-medium no time: its watchdog ends the rehearsal's programs and
# Wine session and removes its qemu entry.
cut kill KILL 137 "$work/kill/wine/env" "$work/kill/wine" \
    sh "$repo/scripts/try-medium.sh" --work "$work/kill" "$checkout/build/medium/veltrane.iso"

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
# A bound of the rehearsal that passes is its own problem, said as such, and what it cut
# short is not judged. Here the page never comes, at any speed: the copy-mode setup beside
# start.ini shows its directory page where an in-place walk waits for "Setup completed".
stalled="$work/stalled"
mkdir -p "$stalled"
cp -R "$suite/." "$stalled/"
cp "$programs/setup-copy.exe" "$stalled/setup.exe"
status=0
TRY_MEDIUM_BOUND=20 sh "$repo/scripts/try-medium.sh" --work "$work/try-stalled" "$stalled" \
    >"$work/stalled.log" 2>&1 || status=$?
expect stalled $status 1 "$work/stalled.log"
has stalled "$work/stalled.log" "the rehearsal's bound of 20 s passed while it waited for the page"
has stalled "$work/stalled.log" "Installation:      not judged"
has stalled "$work/stalled.log" \
    "try-medium: FAILED: 1 problem(s), 1 of them the rehearsal's own bound of 20 s"
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
echo "rehearsal: the README's release commands passed, the sample's ZIP installed; the" \
    "medium without router.exe was caught"

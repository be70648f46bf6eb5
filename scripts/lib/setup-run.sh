# shellcheck shell=sh disable=SC2034,SC2154
# One way to drive a run of setup in a Wine session and to sum up what it left behind,
# shared by scripts/demo.sh and scripts/try-medium.sh. Sourced, not run; POSIX sh.
#
# The caller sets `root` (the repository) before sourcing it and, before calling:
#   run_windrive    the page driver, windrive.exe of the win64 build
#   run_shots       the folder that receives the screenshots (PNG)
# and has sourced the session's wine/env. Counts of problems found go to run_problems, of
# those that are the run's own bound passing to run_bounds_passed. What setup left is read
# back as data (scripts/lib/readback.py): files found as Windows finds them, Windows' text
# in the session's code page.

run_wine=/usr/lib/wine/wine64
run_problems=0
run_bounds_passed=0
run_reached=
# Seconds: the longest the run waits for any one thing it judges (a page, a button that
# can be pressed, setup's end, brindle's and the INF engine's end). Each wait ends as soon
# as its thing has happened; the bound only ends a wait for what never comes, and is
# generous for one processor that runs 32-bit Wine through qemu beside a busy loop.
run_bound=300
# What ended the walk early: "box" (a message box of setup stood in the way), "ended"
# (setup ended first) or "bound" (the run's bound passed); empty when it went to the end.
run_stopped=
# "no" when brindle or the INF engine still ran when the bound passed (run_settle).
run_settled=yes

run_drive() { "$run_wine" "$run_windrive" "$@"; }
run_readback() { python3 "$root/scripts/lib/readback.py" "$@"; }

# run_code_page: the session's ANSI code page, in which setup and Wine write their text,
# in run_code_page.
run_code_page() {
    [ -n "${run_code_page:-}" ] || run_code_page=$(run_drive code-page | tr -d '\r')
}

# run_guard ROOT SESSION RUN_ID: from here on the script ends, also on SIGHUP (129), Ctrl-C
# (130), SIGQUIT (131) or SIGTERM (143), only after the Wine session under SESSION is stopped,
# qemu's entry RUN_ID removed and the caller's run_clean_up (if it defines one) has run. Where
# the kernel refuses 32-bit programs, qemu runs them for this run, under an entry of its own.
run_guard() {
    run_guard_root=$1 run_guard_session=$2 run_guard_id=$3
    trap run_end_guard EXIT
    trap 'exit 129' HUP
    trap 'exit 130' INT
    trap 'exit 131' QUIT
    trap 'exit 143' TERM
    if [ "$("$run_guard_root/scripts/i386-support.sh" mode)" != native ]; then
        "$run_guard_root/scripts/i386-support.sh" enable "$run_guard_id" || true
    fi
}

# run_supervise COMMAND...: runs COMMAND in a session of its own and ends with its exit code.
# A shell runs a trap only once its foreground child has returned; waiting with `wait`, which
# a signal interrupts, the trap ends COMMAND's whole session at once, waits for it, and the
# guard's clean-up follows. Call it after run_guard.
run_supervise() {
    setsid "$@" &
    run_worker=$!
    trap 'run_end_worker; exit 129' HUP
    trap 'run_end_worker; exit 130' INT
    trap 'run_end_worker; exit 131' QUIT
    trap 'run_end_worker; exit 143' TERM
    run_status=0
    wait $run_worker || run_status=$?
    exit $run_status
}

# The worker's status is of no account here; under set -e it must not end the trap early.
run_end_worker() {
    kill -KILL -"$run_worker" 2>/dev/null || true
    wait "$run_worker" 2>/dev/null || true
}

run_end_guard() {
    if [ -f "$run_guard_session/wine/env" ]; then
        sh "$run_guard_root/tests/harness/wine-session.sh" stop "$run_guard_session" || true
    fi
    "$run_guard_root/scripts/i386-support.sh" disable "$run_guard_id" || true
    if command -v run_clean_up >/dev/null 2>&1; then
        run_clean_up || true
    fi
}

run_problem() {  # run_problem TEXT: one problem, counted and shown
    run_problems=$((run_problems + 1))
    printf '  PROBLEM: %s\n' "$1"
}

# run_bound_passed TEXT: a problem of the run itself, not of what it runs: the bound passed
# while the run waited for what TEXT says.
run_bound_passed() {
    run_bounds_passed=$((run_bounds_passed + 1))
    run_problem "the rehearsal's bound of $run_bound s passed while it waited for $1;\
 a limit of the rehearsal on this machine, not a fault found in the medium"
}

# run_ended: setup has ended; its exit code is then in run_exit_code.
run_ended() {
    [ -s "$run_log.exit" ] && run_exit_code=$(cat "$run_log.exit")
}

# run_shoot NAME: the whole screen, as the person would see it, as NAME.png.
run_shoot() {
    run_drive shot "$(printf 'Z:%s' "$run_shots/$1.bmp" | tr / '\\')" >/dev/null &&
        convert "$run_shots/$1.bmp" "$run_shots/$1.png" && rm -f "$run_shots/$1.bmp"
}

# run_box: the text of a message box of setup that stands in the walk's way, after a
# screenshot of it; 1 when there is none.
run_box() {
    for caption in Error Message; do
        if run_drive -t "$caption" -w 0 wait >/dev/null 2>&1; then
            run_shoot "$caption-box" || true
            run_problem "setup shows \"$caption\": $(run_drive -t "$caption" -w 0 text 65535 \
                2>/dev/null | tr -d '\r')"
            return 0
        fi
    done
    return 1
}

# run_page CAPTION NAME [TEXT]: waits (bounded) for the page, types TEXT into its edit
# when given, lets it paint and photographs it; 1 when a message box, setup's end or the
# bound came instead (run_stopped says which).
run_page() {
    deadline=$(($(date +%s) + run_bound))
    until run_drive -t "$1" -w 3000 wait >/dev/null 2>&1; do
        if run_box; then
            run_stopped=box
        elif run_ended; then
            run_stopped=ended
            run_problem "setup ended (exit code $run_exit_code) before the page \"$1\" came"
        elif [ "$(date +%s)" -ge "$deadline" ]; then
            run_stopped=bound
            run_bound_passed "the page \"$1\" (setup still ran)"
        else
            continue
        fi
        return 1
    done
    if [ -n "${3:-}" ] && ! run_drive -t "$1" -w $((run_bound * 1000)) type 201 "$3" >/dev/null
    then
        if run_box; then
            run_stopped=box
        else
            run_stopped=bound
            run_bound_passed "the edit of the page \"$1\" to take the text"
        fi
        return 1
    fi
    sleep 0.3
    run_shoot "$2"
    run_reached="$run_reached${run_reached:+, }$1"
}

# run_click CAPTION ID BUTTON: presses button ID (named BUTTON) of the page CAPTION once it
# can be pressed (bounded); 1 when a message box or the bound came instead. A page that is
# gone has taken the click, or ended otherwise: what the walk waits for next judges that.
run_click() {
    deadline=$(($(date +%s) + run_bound))
    until run_drive -t "$1" -w 3000 click "$2" >/dev/null; do
        run_drive -t "$1" -w 0 wait >/dev/null 2>&1 || return 0
        if run_box; then
            run_stopped=box
        elif [ "$(date +%s)" -ge "$deadline" ]; then
            run_stopped=bound
            run_bound_passed "the button \"$3\" of the page \"$1\" to take a click"
        else
            continue
        fi
        return 1
    done
}

# run_start DIR LOG: starts DIR\setup.exe in DIR, as a user starts it from the medium, in
# the background; run_end then waits for it. The sample's stand-ins show no message box.
run_start() {
    rm -f "$2.exit"
    run_exit_code=
    run_stopped=
    export VELTRANE_DEMO_HEADLESS=1
    # Wine's start passes setup's exit code on.
    ("$run_wine" start /wait /d "$1" "${1%\\}\\setup.exe" >"$2" 2>&1; echo $? >"$2.exit") &
    run_log=$2
}

# run_end SECONDS: waits up to SECONDS for the setup that run_start started; its exit
# code is then in run_exit_code, empty when it did not end.
run_end() {
    deadline=$(($(date +%s) + $1))
    until run_ended || [ "$(date +%s)" -ge "$deadline" ]; do
        sleep 0.1
    done
}

# run_settle NAME...: waits (bounded) until no program of these file names runs in the
# session, e.g. brindle and the shell's INF engine (rundll32.exe), which write the program
# group on their own after setup started brindle; 1 when the bound passed.
run_settle() {
    run_settled=yes
    running=$(run_drive -w $((run_bound * 1000)) wait-gone "$@" 2>/dev/null | tr -d '\r') &&
        return 0
    run_settled=no
    run_bound_passed "${running:-$*} to end"
    return 1
}

# run_walk copy|in-place INSTALL_DIR START_MAIN: every page of a run, in order; in copy
# mode INSTALL_DIR is typed on the directory page. On the last page it waits until brindle
# and the INF engine that it starts have ended, as the program group is theirs to write and
# setup deletes links.inf when it ends; then START_MAIN yes presses "Start orvane manager",
# otherwise "Exit Setup". 1 when the walk stopped before (run_stopped says why).
run_walk() {
    run_page Welcome 1-welcome && run_click Welcome 1503 Next &&
        run_page "Licence Agreement" 2-licence &&
        run_click "Licence Agreement" 6 Yes || return 1
    if [ "$1" = copy ]; then
        run_page "Directory to install Veltrane" 3-directory "$2" &&
            run_click "Directory to install Veltrane" 1 OK || return 1
    fi
    run_page "Setup completed" 4-completed || return 1
    run_settle brindle.exe rundll32.exe || true
    if [ "$3" = yes ]; then
        run_click "Setup completed" 1508 "Start orvane manager"
    else
        run_click "Setup completed" 1504 "Exit Setup"
    fi
}

# run_local WINDOWS-PATH: the Linux path of a file of the prefix, each part found
# regardless of case as Windows finds it; empty when there is none.
run_local() {
    run_readback local "$WINEPREFIX/dosdevices" "$1" || true
}

# run_generated INSTALL_DIR START_INI: the files that the template's file lines name,
# each with its length and its first line that holds the install directory. Their names,
# one a line, stay in run_generated_names.
run_generated() {
    echo "Generated files (from start.ini):"
    run_generated_names=$(tr -d '\r' <"$2" | sed -n 's/^:%[pP][aA][tT][hH]%\\//p' |
        awk '!seen[tolower($0)]++')
    while IFS= read -r name; do
        [ -n "$name" ] || continue
        file=$(run_local "$1\\$name")
        if [ -n "$file" ] && [ -f "$file" ]; then
            run_code_page
            example=$(run_readback line "$file" "$run_code_page" "$1")
            printf '  %s (%s lines)%s\n' "$name" "$(wc -l <"$file")" \
                "${example:+, e.g.: $example}"
        else
            run_problem "$name was not generated"
        fi
    done <<NAMES
$run_generated_names
NAMES
}

# run_group INSTALL_DIR SECONDS: the program group as Wine's setup.ini holds it, read in the
# session's code page, once the INF engine, which runs on its own after brindle, has written
# all twelve shortcuts (a wait of up to SECONDS); each shortcut's program or help file is
# looked up.
run_group() {
    run_code_page
    found=0
    run_readback group "$WINEPREFIX/drive_c/windows/setup.ini" "$WINEPREFIX/dosdevices" \
        "$1" "$run_code_page" "$2" || found=$?
    run_problems=$((run_problems + found))
}

# run_links_gone INSTALL_DIR: setup deletes its links.inf when it ends.
run_links_gone() {
    if [ -n "$(run_local "$1\\links.inf")" ]; then
        run_problem "links.inf is still in $1"
    else
        echo "links.inf:         not left behind"
    fi
}

# run_main_started INSTALL_DIR: how the main program was started, as the sample's
# stand-in records it.
run_main_started() {
    record=$(run_local "$1\\orvane-started.txt")
    [ -n "$record" ] || return 0
    run_code_page
    printf 'Main program started as: %s\n' "$(run_readback line "$record" "$run_code_page" '')"
}

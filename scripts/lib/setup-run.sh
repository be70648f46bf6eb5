# shellcheck shell=sh disable=SC2034,SC2154
# One way to drive a run of setup in a Wine session and to sum up what it left behind,
# shared by scripts/demo.sh and scripts/try-medium.sh. Sourced, not run; POSIX sh.
#
# The caller sets, before calling:
#   run_windrive    the page driver, windrive.exe of the win64 build
#   run_shots       the folder that receives the screenshots (PNG)
# and has sourced the session's wine/env. Counts of problems found go to run_problems.

run_wine=/usr/lib/wine/wine64
run_problems=0
run_reached=
run_bound=120000   # milliseconds: a page of a first 32-bit process on a busy machine

run_drive() { "$run_wine" "$run_windrive" "$@"; }

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

# run_page CAPTION NAME: waits (bounded) for the page, lets it paint and photographs it; 1
# when a message box or nothing came instead.
run_page() {
    tries=0
    until run_drive -t "$1" -w 3000 wait >/dev/null 2>&1; do
        tries=$((tries + 1))
        if run_box || [ $tries -ge $((run_bound / 3000)) ]; then
            [ $tries -lt $((run_bound / 3000)) ] ||
                run_problem "the page \"$1\" did not come within $((run_bound / 1000)) s"
            return 1
        fi
    done
    sleep 0.3
    run_shoot "$2"
    run_reached="$run_reached${run_reached:+, }$1"
}

# run_start DIR LOG: starts DIR\setup.exe in DIR, as a user starts it from the medium, in
# the background; run_end then waits for it. The sample's stand-ins show no message box.
run_start() {
    rm -f "$2.exit"
    export VELTRANE_DEMO_HEADLESS=1
    # Wine's start passes setup's exit code on.
    ("$run_wine" start /wait /d "$1" "${1%\\}\\setup.exe" >"$2" 2>&1; echo $? >"$2.exit") &
    run_log=$2
}

# run_end SECONDS: waits up to SECONDS for the setup that run_start started; its exit
# code is then in run_exit_code, empty when it did not end.
run_end() {
    tries=0
    until [ -s "$run_log.exit" ] || [ $tries -ge $(($1 * 10)) ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
    run_exit_code=$(cat "$run_log.exit" 2>/dev/null || true)
}

# run_walk copy|in-place INSTALL_DIR START_MAIN: every page of a run, in order; in copy
# mode INSTALL_DIR is typed on the directory page. START_MAIN yes presses "Start orvane
# manager" on the last page, otherwise "Exit Setup". 1 when a page did not come.
run_walk() {
    run_page Welcome 1-welcome && run_drive -t Welcome click 1503 >/dev/null &&
        run_page "Licence Agreement" 2-licence &&
        run_drive -t "Licence Agreement" click 6 >/dev/null || return 1
    if [ "$1" = copy ]; then
        run_drive -t "Directory to install Veltrane" -w $run_bound type 201 "$2" \
            >/dev/null 2>&1 || true
        run_page "Directory to install Veltrane" 3-directory &&
            run_drive -t "Directory to install Veltrane" click 1 >/dev/null || return 1
    fi
    run_page "Setup completed" 4-completed || return 1
    if [ "$3" = yes ]; then
        run_drive -t "Setup completed" click 1508 >/dev/null
    else
        run_drive -t "Setup completed" click 1504 >/dev/null
    fi
}

# run_local WINDOWS-PATH: the Linux path of a file of the prefix, each part found
# regardless of case as Windows finds it; empty when there is none.
run_local() {
    drive=$(printf '%.1s' "$1" | tr '[:upper:]' '[:lower:]')
    local_path="$WINEPREFIX/dosdevices/$drive:"
    rest=$(printf '%s' "${1#??}" | tr '\\' '\n')
    # Read from a here-document, so that the loop runs in this shell.
    while IFS= read -r part; do
        [ -n "$part" ] || continue
        found=$(find "$local_path/" -mindepth 1 -maxdepth 1 -iname "$part" -print -quit \
            2>/dev/null)
        [ -n "$found" ] || { local_path=; break; }
        local_path=$found
    done <<PARTS
$rest
PARTS
    printf '%s' "$local_path"
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
            example=$(grep -m1 -iF "$1" "$file" | tr -d '\r' || true)
            printf '  %s (%s lines)%s\n' "$name" "$(wc -l <"$file")" \
                "${example:+, e.g.: $example}"
        else
            run_problem "$name was not generated"
        fi
    done <<NAMES
$run_generated_names
NAMES
}

# run_group INSTALL_DIR SECONDS: the program group as Wine's setup.ini holds it, once the
# INF engine, which runs on its own after brindle, has written all twelve shortcuts (a wait
# of up to SECONDS); each shortcut's program or help file is looked up.
run_group() {
    ini="$WINEPREFIX/drive_c/windows/setup.ini"
    tries=0
    while :; do
        # Wine's profile writer puts a lone "=" under each value-less entry; those go.
        entries=$(sed -n '/^\[group1\]/,/^\[/p' "$ini" 2>/dev/null | tr -d '\r' |
            grep -v -e '^\[' -e '^=*$' | sed 's/"=$/"/' || true)
        [ "$(printf '%s' "$entries" | grep -ciF "$1")" -ge 12 ] && break
        tries=$((tries + 1))
        [ $tries -ge $(($2 * 10)) ] && break
        sleep 0.1
    done
    group=$(cat "$ini" 2>/dev/null | tr -d '\r' | sed -n 's/^group1="*\([^"=]*\)"*=*$/\1/p')
    printf 'Program group "%s" (from C:\\windows\\setup.ini):\n' "$group"
    [ "$group" = Veltrane ] || run_problem "no program group \"Veltrane\" in setup.ini"
    [ -n "$entries" ] || run_problem "the group holds no shortcuts"
    while IFS= read -r entry; do
        [ -n "$entry" ] || continue
        caption=$(printf '%s' "$entry" | cut -d'"' -f2)
        command=$(printf '%s' "$entry" | cut -d'"' -f4)
        printf '  %-22s %s\n' "$caption" "$command"
        target=$(run_local "${command%% *}")
        [ -n "$target" ] && [ -f "$target" ] ||
            run_problem "the shortcut \"$caption\" leads to nothing: ${command%% *} is not installed"
    done <<ENTRIES
$entries
ENTRIES
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
    [ -n "$record" ] && printf 'Main program started as: %s\n' "$(tr -d '\r' <"$record")"
    return 0
}

#!/bin/sh
# Benchmarks of setup and brindle, printed as one Markdown table on standard output
# (progress goes to standard error; the table is also saved as <work>/results.md):
#   - copy-mode install of a generated reference tree (2,500 files, 150 folders, about
#     150 MB) under Wine, against Wine's own xcopy /E /I /Y in the same prefix and native
#     cp -a of the same tree: the x86_64 program against the 64-bit xcopy, and the shipped
#     i686 program against the 32-bit xcopy (C:\windows\syswow64) when this Wine runs
#     32-bit programs (the row says why it was skipped otherwise);
#   - setup's copy called in-process (copybench, every question answered at once) into a
#     new folder and over that copy, replacing every file, against the bare loop of
#     CopyFileA and CreateDirectoryA over the same file list;
#   - the line reader on a 200 MiB file of 60-byte lines, natively, against a plain
#     read-and-memchr loop; the expansion of a 50,000-line start.ini;
#   - the sizes of the shipped i686 programs;
#   - launch to the welcome page under Wine, against a program that opens one window.
# Usage: bench/run.sh [work-folder]   (default build/bench; it takes about 1 GB)
# Needs the packages of scripts/install-deps.sh. Runs its own Wine session and display in
# the work folder. Best run on an otherwise idle machine: the figures are wall-clock times.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
work=${1:-$root/build/bench}
mkdir -p "$work"
work=$(cd "$work" && pwd)
rounds=5          # copy rounds; each figure is the median
launches=5        # launch rounds
log=$work/bench.log
: >"$log"

say() { echo "bench: $*" >&2; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
now_ms() { date +%s%N | cut -c1-13; }

say "building (log: $log)"
{
    # The presets belong to the source tree, wherever the benchmark is run from.
    (cd "$root" && cmake --preset win32 -B "$work/win32" -DVELTRANE_TESTS=NONE)
    cmake --build "$work/win32" -j2 --target setup setup-copy brindle
    (cd "$root" && cmake --preset win64 -B "$work/win64" -DVELTRANE_TESTS=NONE)
    cmake --build "$work/win64" -j2 --target setup setup-copy
    x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -DWIN32_LEAN_AND_MEAN \
        -DVELTRANE_BUILD_DIR="\"$work/win64\"" -I"$root/tests/e2e" -I"$root/setup/resources" \
        "$here/benchdrive.cpp" "$root/tests/e2e/driver.cpp" -static -lgdi32 -luser32 \
        -o "$work/win64/benchdrive.exe"
    x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -DWIN32_LEAN_AND_MEAN \
        -DVELTRANE_IN_PLACE_INSTALL=0 -I"$root/setup" -I"$root/setup/resources" \
        -DVELTRANE_BUILD_DIR="\"$work/win64\"" -I"$root/tests/e2e" "$here/copybench.cpp" \
        "$root/tests/e2e/driver.cpp" \
        "$root/setup/install/copy.cpp" "$root/setup/install/journal.cpp" \
        "$root/setup/install/space.cpp" "$root/setup/install/scan.cpp" \
        "$root/setup/shell/state.cpp" "$root/setup/shell/text.cpp" -static -lcomctl32 \
        -lgdi32 -luser32 -o "$work/win64/copybench.exe"
    x86_64-w64-mingw32-g++-posix -O2 -mwindows "$here/onewindow.cpp" -static \
        -o "$work/win64/onewindow.exe"
    g++ -std=c++17 -O2 -DNDEBUG -I"$root/setup" "$here/linebench.cpp" \
        "$root/setup/config/linefile.cpp" "$root/setup/config/startfile.cpp" \
        "$root/setup/shell/text.cpp" \
        -o "$work/linebench"
} >>"$log" 2>&1

say "starting a Wine session"
sh "$root/tests/harness/wine-session.sh" start "$work/win64" >>"$log" 2>&1
trap 'sh "$root/tests/harness/wine-session.sh" stop "$work/win64" >>"$log" 2>&1' EXIT
# shellcheck disable=SC1091
. "$work/win64/wine/env"
drive=$WINEPREFIX/drive_c
# Appends one measurement of benchdrive (milliseconds) to the file named first.
measure() {
    into=$1
    shift
    value=$(sh "$root/tests/harness/wine-run.sh" "$work/win64/benchdrive.exe" "$@" 2>>"$log" |
        tr -d '\r')
    case $value in
    '' | *[!0-9]*) say "benchdrive $1 failed; see $log"; exit 1 ;;
    esac
    echo "$value" >>"$into"
}

# --- Copy-mode install against xcopy and cp -a -------------------------------------------
bench=$drive/bench
rm -rf "$bench"
mkdir -p "$bench"
say "generating the reference tree"
read -r files folders bytes <<EOF
$(python3 "$here/make_tree.py" "$bench/veltrane")
EOF
cp "$work/win64/setup-copy.exe" "$bench/inst.exe"
# setup's copy and xcopy's in turns, with `sync` before each; the medians go to
# copy-<tag>-setup.txt and copy-<tag>-xcopy.txt. Native cp -a runs in the x86_64 rounds.
copy_rounds() {
    tag=$1
    xcopy=$2
    : >"$work/copy-$tag-setup.txt"
    : >"$work/copy-$tag-xcopy.txt"
    for round in $(seq "$rounds"); do
        say "copy round $round of $rounds ($tag)"
        rm -rf "$bench/setup-target" "$bench/xcopy-target" "$bench/cp-target"
        sync
        measure "$work/copy-$tag-setup.txt" copy 'C:\bench' 'C:\bench\setup-target'
        if [ "$round" = 1 ] && ! diff -r "$bench/veltrane" "$bench/setup-target" >>"$log" 2>&1; then
            say "setup's copy ($tag) differs from the source tree; see $log"
            exit 1
        fi
        sync
        measure "$work/copy-$tag-xcopy.txt" run "$xcopy" /E /I /Y 'C:\bench\veltrane' \
            'C:\bench\xcopy-target'
        if [ "$tag" = x86_64 ]; then
            sync
            start=$(now_ms)
            cp -a "$bench/veltrane" "$bench/cp-target"
            echo $(($(now_ms) - start)) >>"$work/copy-cp.txt"
        fi
    done
    rm -rf "$bench/setup-target" "$bench/xcopy-target" "$bench/cp-target"
}
: >"$work/copy-cp.txt"
copy_rounds x86_64 xcopy
copy_setup=$(median <"$work/copy-x86_64-setup.txt")
copy_xcopy=$(median <"$work/copy-x86_64-xcopy.txt")
copy_cp=$(median <"$work/copy-cp.txt")

# Setup's copy in-process: into a new folder and over it, beside the bare loop.
say "in-process copy, $rounds rounds"
cp "$work/win64/copybench.exe" "$bench/copybench.exe"
read -r journal_bare journal_fresh journal_replace <<EOF
$(sh "$root/tests/harness/wine-run.sh" "$bench/copybench.exe" 'C:\bench\veltrane' \
    'C:\bench\copybench' "$rounds" 2>>"$log" | tr -d '\r')
EOF
rm -rf "$bench/copybench" "$bench/copybench.exe"

# The i686 row needs the 32-bit xcopy to run here: it copies a one-file folder first.
wow_xcopy='C:\windows\syswow64\xcopy.exe'
i686_skipped=""
mkdir -p "$bench/probe"
echo probe >"$bench/probe/file"
rm -rf "$bench/probe-target"
if [ ! -f "$drive/windows/syswow64/xcopy.exe" ]; then
    i686_skipped="the prefix has no 32-bit xcopy ($wow_xcopy): this Wine runs no 32-bit programs"
elif ! sh "$root/tests/harness/wine-run.sh" "$work/win64/benchdrive.exe" run "$wow_xcopy" \
    /E /I /Y 'C:\bench\probe' 'C:\bench\probe-target' >>"$log" 2>&1 ||
    [ ! -f "$bench/probe-target/file" ]; then
    i686_skipped="the 32-bit xcopy ($wow_xcopy) does not run: this Wine runs no 32-bit programs"
fi
rm -rf "$bench/probe" "$bench/probe-target"
if [ -z "$i686_skipped" ]; then
    cp "$work/win32/setup-copy.exe" "$bench/inst.exe"
    copy_rounds i686 "$wow_xcopy"
    copy_setup32=$(median <"$work/copy-i686-setup.txt")
    copy_xcopy32=$(median <"$work/copy-i686-xcopy.txt")
else
    say "i686 copy skipped: $i686_skipped"
    copy_setup32=0
    copy_xcopy32=0
fi

# --- Launch to the welcome page against a one-window program ---------------------------
launch=$drive/launch
rm -rf "$launch"
mkdir -p "$launch"
cp "$work/win64/setup.exe" "$launch/inst.exe"
cp "$work/win64/onewindow.exe" "$launch/onewindow.exe"
: >"$work/launch-setup.txt"
: >"$work/launch-one.txt"
for round in $(seq "$launches"); do
    say "launch round $round of $launches"
    measure "$work/launch-setup.txt" launch 'C:\launch\inst.exe' 'C:\launch' '#32770' 'Welcome'
    measure "$work/launch-one.txt" launch 'C:\launch\onewindow.exe' 'C:\launch' \
        BenchOneWindow 'One window'
done
launch_setup=$(median <"$work/launch-setup.txt")
launch_one=$(median <"$work/launch-one.txt")

# --- Line reader and template expansion, natively ----------------------------------------
say "line reader and template expansion"
read -r reader plain ratio _ <<EOF
$("$work/linebench" lines "$work")
EOF
read -r template_ms template_lines template_files <<EOF
$("$work/linebench" template "$work")
EOF

# --- Sizes of the shipped programs -------------------------------------------------------
size_setup=$(stat -c %s "$work/win32/setup.exe")
size_copy=$(stat -c %s "$work/win32/setup-copy.exe")
size_brindle=$(stat -c %s "$work/win32/brindle.exe")

# --- The table ---------------------------------------------------------------------------
awk -v files="$files" -v folders="$folders" -v bytes="$bytes" -v rounds="$rounds" \
    -v setup="$copy_setup" -v xcopy="$copy_xcopy" -v cp="$copy_cp" \
    -v setup32="$copy_setup32" -v xcopy32="$copy_xcopy32" -v skipped32="$i686_skipped" \
    -v reader="$reader" -v plain="$plain" -v ratio="$ratio" \
    -v tms="$template_ms" -v tlines="$template_lines" -v tfiles="$template_files" \
    -v ssetup="$size_setup" -v scopy="$size_copy" -v sbrindle="$size_brindle" \
    -v launches="$launches" -v lsetup="$launch_setup" -v lone="$launch_one" \
    -v jbare="$journal_bare" -v jfresh="$journal_fresh" -v jreplace="$journal_replace" '
function met(ok) { return ok ? "yes" : "**no**" }
function grouped(n,   s, out) {
    s = sprintf("%d", n); out = ""
    while (length(s) > 3) { out = "," substr(s, length(s) - 2) out; s = substr(s, 1, length(s) - 3) }
    return s out
}
function size(name, n, limit) {
    printf "| %s, i686 | %s bytes (%.1f KiB) | | | <= %d KiB | %s |\n", name, grouped(n), n / 1024,
        limit, met(n <= limit * 1024)
}
BEGIN {
    print "| Measure | Veltrane | Reference | Ratio | Target | Met |"
    print "|---|---|---|---|---|---|"
    printf "| Copy-mode install under Wine, x86_64: %s files, %s folders, %.1f MB (median of %d) | %.2f s | xcopy /E /I /Y %.2f s; cp -a %.2f s | %.2fx xcopy; %.1fx cp -a | <= 1.0x xcopy | %s |\n",
        grouped(files), folders, bytes / 1e6, rounds, setup / 1000, xcopy / 1000, cp / 1000,
        setup / xcopy, setup / cp, met(setup <= xcopy)
    if (skipped32 != "")
        printf "| Copy-mode install under Wine, i686: skipped, %s | | | | <= 1.0x xcopy | |\n",
            skipped32
    else
        printf "| Copy-mode install under Wine, i686, same tree (median of %d) | %.2f s | 32-bit xcopy /E /I /Y %.2f s | %.2fx xcopy | <= 1.0x xcopy | %s |\n",
            rounds, setup32 / 1000, xcopy32 / 1000, setup32 / xcopy32, met(setup32 <= xcopy32)
    printf "| Setup copy in-process under Wine, x86_64, same tree, into a new folder (median of %d) | %.2f s | bare CopyFileA loop %.2f s | %.2fx | | |\n",
        rounds, jfresh / 1000, jbare / 1000, jfresh / jbare
    printf "| The same over that copy, replacing every file (old files kept aside, then deleted) | %.2f s | into a new folder %.2f s | %.2fx | <= 1.15x | %s |\n",
        jreplace / 1000, jfresh / 1000, jreplace / jfresh, met(jreplace <= 1.15 * jfresh)
    printf "| Line reader, native: 200 MiB of 60-byte lines (medians of 11 rounds) | %d MB/s | read + memchr %d MB/s | %.2f | >= 0.70 | %s |\n",
        reader, plain, ratio, met(ratio >= 0.7)
    printf "| Template expansion, native: %s-line start.ini into %d files (median of 5) | %.0f ms (%s lines/s) | | | | |\n",
        grouped(tlines), tfiles, tms, grouped(tlines / (tms / 1000))
    size("setup.exe", ssetup, 80)
    size("setup-copy.exe", scopy, 80)
    size("brindle.exe", sbrindle, 12)
    printf "| Launch to the welcome page under Wine (median of %d) | %.2f s | one-window program %.2f s | %+.2f s | <= +0.30 s | %s |\n",
        launches, lsetup / 1000, lone / 1000, (lsetup - lone) / 1000, met(lsetup - lone <= 300)
}' | tee "$work/results.md"

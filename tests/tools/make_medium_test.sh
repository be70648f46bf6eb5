#!/bin/sh
# scripts/make-medium.sh from outside on a small suite: both kinds of medium are written
# and their listings, read by libarchive (the image's Joliet tree) and byte by byte (the
# archive's central directory, with the UTF-8 flag of each name), hold exactly the laid-out
# entries (names outside ASCII, one of 64 characters with blanks, START.INI in capitals);
# the image, read with isoinfo, holds every file's data where the one setup reads before it
# ends, whatever the names' case, punctuation or place after a folder. Then a table of
# hostile suites and runs: each ends with the expected code and leaves the suite, a sibling
# folder and the image already at --out exactly as they were, and nothing else in the
# output folder or the temporary folder, or ends at once on a signal. The programs here are
# placeholders, so nothing is rehearsed (--no-try); try-medium refuses hostile media before
# it would rehearse them.
#   make_medium_test.sh <medium-check> <repository>
set -eu
checker=$1
repo=$2
work=$(mktemp -d)
runner=
cleanup() {
    [ -z "$runner" ] || kill "$runner" 2>/dev/null || true
    umount "$work/readonly" "$work/full" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
failures=0

mkdir -p "$work/programs" "$work/suite/layout" "$work/suite/Lib" "$work/sibling" "$work/tmp"
for program in setup setup-copy brindle; do
    printf '%s' "$program" >"$work/programs/$program.exe"
done
e_acute=$(printf '\303\251')
u_umlaut=$(printf '\303\234')
long="A long name with blanks, as long as a Joliet name on a disc.text"
# The order setup reads the image in: each folder's sub-folders first, then its own files,
# each in the order of the disc's Joliet records (UTF-16 code units).
order=$(printf '%s\n' setup.exe brindle.exe veltrane/Lib/A.dat veltrane/Lib/b.dat \
    veltrane/layout/Router.ini "veltrane/layout/caf$e_acute.txt" "veltrane/$long" \
    veltrane/Zeta.hlp veltrane/ab-c.txt veltrane/ab.txt veltrane/start.ini veltrane/x.y.dat \
    veltrane/x_y.dat "veltrane/${u_umlaut}ber.txt")
# Files of one to a few blocks, so that an end is found from the size.
printf '%s\n' "$order" >"$work/order.txt"
size=1000
while IFS= read -r file; do
    head -c $size /dev/urandom >"$work/suite/$file"
    size=$((size * 3 / 2))
done <<EOF
$(sed -n 's|^veltrane/||p' "$work/order.txt")
EOF
printf ':%%path%%\\layout\\router.ini\r\nGrid=25\r\n' >"$work/suite/start.ini"
printf 'keep' >"$work/sibling/keep.txt"

# running PID: the process has not ended (a zombie has).
running() {
    case $(ps -o stat= -p "$1") in '' | Z*) return 1 ;; esac
}

# check NAME EXPECTED ACTUAL: the two listings are equal.
check() {
    if [ "$2" != "$3" ]; then
        printf '%s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

make() {
    MEDIUM_CHECK=$checker sh "$repo/scripts/make-medium.sh" --no-try --programs "$work/programs" \
        "$@"
}

# The central directory of a ZIP archive, read byte by byte: "<UTF-8 flag> <name>" for
# each entry (the flag is bit 11 of the general-purpose flags).
central_names() {
    od -A n -t u1 -v "$1" | LC_ALL=C awk '
        { for (i = 1; i <= NF; i++) b[n++] = $i }
        END {
            for (i = 0; i + 46 <= n; i++) {
                if (b[i] != 80 || b[i + 1] != 75 || b[i + 2] != 1 || b[i + 3] != 2)
                    continue
                length_ = b[i + 28] + 256 * b[i + 29]
                name = ""
                for (j = 0; j < length_; j++)
                    name = name sprintf("%c", b[i + 46 + j])
                print int(b[i + 9] / 8) % 2, name
                i += 45 + length_ + b[i + 30] + 256 * b[i + 31] + b[i + 32] + 256 * b[i + 33]
            }
        }' | LC_ALL=C sort
}


make --copy-mode --label SUITE2 --out "$work/out/suite.iso" "$work/suite" >"$work/iso.log" 2>&1 ||
    { cat "$work/iso.log"; exit 1; }
iso=$(bsdtar -t -f "$work/out/suite.iso" --options 'iso9660:!rockridge' | LC_ALL=C sort)
check "ISO image (Joliet)" "$(printf '%s\n' . veltrane veltrane/Lib veltrane/layout "$order" |
    LC_ALL=C sort)" "$iso"
check "volume label" "SUITE2" "$(xorriso -indev "$work/out/suite.iso" -pvd_info 2>/dev/null |
    sed -n 's/^Volume Id *: *//p')"
check "setup.exe of the image" "setup-copy" \
    "$(bsdtar -x -O -f "$work/out/suite.iso" --options 'iso9660:!rockridge' setup.exe)"
# isoinfo lists each file's first block and size: read in setup's order, each file starts
# at the block where the one before it ends.
isoinfo -J -l -i "$work/out/suite.iso" | iconv -f latin1 -t utf-8 | awk '
    /^Directory listing of / { folder = substr($0, 23); next }
    /^-/ { name = $0; sub(/^[^]]*\]  /, "", name); sub(/ $/, "", name)
           block = $0; sub(/^[^[]*\[ */, "", block); sub(/ .*/, "", block)
           printf "%s%s\t%s\t%s\n", folder, name, block, $5 }' >"$work/blocks.txt"
check "read in one pass" "" "$(awk -F '\t' 'NR == FNR { start[$1] = $2; size[$1] = $3; next }
    !($0 in start) { print $0 ": not on the disc"; next }
    end != "" && start[$0] != end { print $0 " starts at " start[$0] ", not at " end }
    { end = start[$0] + int((size[$0] + 2047) / 2048) }' "$work/blocks.txt" "$work/order.txt")"
grep -q 'read plan: 14 files, .* 0 head movements' "$work/iso.log" ||
    { echo "no read plan:"; cat "$work/iso.log"; failures=$((failures + 1)); }

mv "$work/suite/start.ini" "$work/suite/START.INI"
make --out "$work/out/suite.zip" "$work/suite" >"$work/zip.log" 2>&1 ||
    { cat "$work/zip.log"; exit 1; }
check "ZIP archive, UTF-8 flag and name" "$( (printf '%s\n' "$order" |
    LC_ALL=C sed -e 's|^veltrane/||' -e 's|^start.ini$|START.INI|' -e 's|^|0 |' \
        -e "s|^0 \(.*[^ -~].*\)|1 \1|"; echo "0 Lib/"; echo "0 layout/") | LC_ALL=C sort)" \
    "$(central_names "$work/out/suite.zip")"
grep -q "make-medium: $work/out/suite.zip, $(stat -c %s "$work/out/suite.zip") bytes" \
    "$work/zip.log" || { echo "no size line:"; cat "$work/zip.log"; failures=$((failures + 1)); }
mv "$work/suite/START.INI" "$work/suite/start.ini"
mv "$work/suite" "$work/base"

# What must not change: the suite and the sibling folder, names, links and bytes.
state() {
    (cd "$work" && find suite sibling -printf '%y %p %l\n' | LC_ALL=C sort &&
        find suite sibling -type f -exec sha256sum {} + | LC_ALL=C sort)
}

# Tools that misbehave, put first on the PATH by the rows that need them: a reader that
# loses a file of what it reads back, and an image writer and a reader that, once done, stop
# until the file "go" appears or the program that started them has ended.
mkdir "$work/lossy" "$work/stalling-writer" "$work/stalling-reader" "$work/flags"
cat >"$work/lossy/bsdtar" <<EOF
#!/bin/sh
$(command -v bsdtar) "\$@" && rm -f "\$5/start.ini" "\$5/veltrane/start.ini"
EOF
# A stalled tool that make-medium did not end is still there when the row looks.
for tool in xorriso:writer bsdtar:reader; do
    cat >"$work/stalling-${tool#*:}/${tool%:*}" <<EOF
#!/bin/sh
$(command -v "${tool%:*}") "\$@" || exit
echo \$\$ >"$work/flags/stalled"
tries=0
while [ ! -e "$work/flags/go" ] && [ \$tries -lt 600 ]; do sleep 0.1; tries=\$((tries + 1)); done
EOF
    chmod +x "$work/stalling-${tool#*:}/${tool%:*}"
done
chmod +x "$work/lossy/bsdtar"
# An image writer that ignores the order it is given, as a slip in the weights would.
mkdir "$work/unordered"
cat >"$work/unordered/xorriso" <<EOF
#!/bin/sh
for word; do
    shift
    [ "\$word" != -options_from_file ] || { skip=yes; continue; }
    [ -z "\${skip:-}" ] && set -- "\$@" "\$word" || skip=
done
exec $(command -v xorriso) "\$@"
EOF
chmod +x "$work/unordered/xorriso"

# An image writer that puts hidden.dat's data first on the disc, then marks its Joliet record
# hidden (the existence flag): setup never lists it, so the read plan must not count it.
mkdir "$work/hiding"
cat >"$work/hiding/xorriso" <<EOF
#!/bin/sh
for word; do
    shift
    if [ -n "\${next:-}" ]; then
        sed 's|^\(-find "/veltrane/hidden.dat" -exec sort_weight\) [0-9]*|\1 1000000|' "\$word" \
            >"\$word.first"
        word=\$word.first
        next=
    fi
    [ "\$word" != -options_from_file ] || next=yes
    set -- "\$@" "\$word"
done
$(command -v xorriso) "\$@" || exit
python3 - "\$2" <<'PY'
import sys
with open(sys.argv[1], "r+b") as image:
    data = bytearray(image.read())
    name = "hidden.dat".encode("utf-16-be")
    at = data.find(name)
    while at >= 0:
        if data[at - 1] in (len(name), len(name) + 4):
            data[at - 33 + 25] |= 1
        at = data.find(name, at + 1)
    image.seek(0)
    image.write(data)
PY
EOF
chmod +x "$work/hiding/xorriso"

# row NAME CODE SAYS PATH-FIRST PREPARE ARGUMENTS...: a fresh suite, PREPARE run in it
# (a row that cannot be prepared here is skipped), then make-medium with ARGUMENTS
# (PATH-FIRST, when not "-", first on the PATH), with the old image at out/kept.zip (in
# place) or out/kept.iso (copy mode); its output says SAYS (a grep pattern). A CODE of 0
# replaces the old image with the new medium. A CODE of HUP, INT, QUIT or TERM sends that
# signal once a stalling tool has done its work, and the run must end as an interrupted one
# (exit 128 + the signal's number) at once: within 10 s, for a busy machine, with the tool
# ended. A CODE of TWICE starts a second run for the same --out then, which must be refused
# at once while the first goes on to write it. A CODE of KILL sends SIGKILL then, and once
# the stalled tool has gone with it, a second run for the same --out must write it and
# remove what the first left. Every run has a bound in time and in the size
# of what it writes, and must create nothing else anywhere.
row() {
    name=$1
    code=$2
    says=$3
    first=$4
    prepare=$5
    shift 5
    old=kept.zip
    case " $* " in *" --copy-mode "*) old=kept.iso ;; esac
    rm -rf "$work/suite" "$work/out" "$work/flags/"* "$work/sibling/alias"
    cp -R "$work/base" "$work/suite"
    mkdir "$work/out"
    printf 'the old image' >"$work/out/$old"
    : >"$work/row.log"
    if ! (cd "$work/suite" && eval "$prepare") >"$work/row.log" 2>&1; then
        echo "$name: skipped, not possible here: $(cat "$work/row.log")"
        return 0
    fi
    before=$(state)
    entries=$(ls -A "$work")
    path=$PATH
    [ "$first" = - ] || path=$first:$PATH
    bound="timeout -k 5 60"
    case $code in [0-9]*) ;; *) bound= ;; esac
    # SIGINT and SIGQUIT as a terminal sends them: not ignored, as in a job started with &.
    (ulimit -f 20000 && PATH=$path TMPDIR=$work/tmp MEDIUM_CHECK=$checker \
        exec env --default-signal=INT,QUIT $bound sh "$repo/scripts/make-medium.sh" --no-try \
        --programs "$work/programs" "$@" "$work/suite") >"$work/row.log" 2>&1 </dev/null &
    runner=$!
    problem=
    case $code in [0-9]*) ;; *)
        tries=0
        until [ -s "$work/flags/stalled" ] || ! running "$runner" || [ $tries -ge 600 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        ;;
    esac
    case $code in
    HUP | INT | QUIT | TERM)
        kill -"$code" "$runner"
        tries=0
        while running "$runner" && [ $tries -lt 100 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        if running "$runner"; then
            problem="still running 10 s after SIG$code;"
            kill -KILL "$runner"
        fi
        case $code in HUP) code=129 ;; INT) code=130 ;; QUIT) code=131 ;; TERM) code=143 ;; esac
        ;;
    KILL)
        kill -KILL "$runner"
        wait "$runner" 2>/dev/null || true
        tries=0
        while running "$(cat "$work/flags/stalled")" && [ $tries -lt 100 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
        : >"$work/flags/go"
        runner=
        (PATH=$path TMPDIR=$work/tmp MEDIUM_CHECK=$checker exec timeout -k 5 60 \
            sh "$repo/scripts/make-medium.sh" --no-try --programs "$work/programs" "$@" \
            "$work/suite") >"$work/row.log" 2>&1 </dev/null &
        runner=$!
        code=0
        ;;
    TWICE)
        second=0
        (PATH=$path TMPDIR=$work/tmp MEDIUM_CHECK=$checker exec timeout -k 5 60 \
            sh "$repo/scripts/make-medium.sh" --no-try --programs "$work/programs" "$@" \
            "$work/suite") >"$work/flags/second.log" 2>&1 </dev/null || second=$?
        [ $second -eq 1 ] && grep -q "another make-medium is writing" "$work/flags/second.log" ||
            problem="the second run: exit code $second, $(cat "$work/flags/second.log");"
        : >"$work/flags/go"
        code=0
        ;;
    esac
    status=0
    wait "$runner" || status=$?
    runner=
    if [ -s "$work/flags/stalled" ] && running "$(cat "$work/flags/stalled")"; then
        problem="$problem the stalled tool still runs after make-medium ended;"
    fi
    : >"$work/flags/go"
    [ "$status" -eq "$code" ] || problem="$problem exit code $status, expected $code"
    grep -q -e "$says" "$work/row.log" || problem="$problem; no line with \"$says\""
    [ "$(state)" = "$before" ] || problem="$problem; the suite or the sibling changed"
    [ "$(ls -A "$work")" = "$entries" ] || problem="$problem; made $(ls -A "$work" | tr '\n' ' ')"
    kept=new
    printf 'the old image' | cmp -s - "$work/out/$old" && kept=old
    [ "$(ls -A "$work/out")" = $old ] && { [ $kept = old ] || [ "$code" -eq 0 ]; } &&
        { [ $kept = new ] || [ "$code" -ne 0 ]; } ||
        problem="$problem; the output folder holds $(ls -A "$work/out" | tr '\n' ' ') ($kept)"
    [ -z "$(ls -A "$work/tmp")" ] || problem="$problem; left in the temporary folder: $(ls -A "$work/tmp")"
    if [ -n "$problem" ]; then
        echo "$name: $problem"
        cat "$work/row.log"
        failures=$((failures + 1))
    fi
}

# The rows' temporary folder is longer: without the long name the tree stays far below its
# limits wherever that folder is.
rm "$work/base/$long"
prefix=$(printf 'Z:%s\\veltrane\\.cache\\' "$work/tmp/make-medium.XXXXXX/medium" | wc -c)
list_path_128=$(printf "%0$((128 - prefix))d" 0 | tr 0 n)
# --out's extension in any letter case names the medium's kind.
row "a device name, --out .ZIP" 1 'con.txt: error: reserved' - ': >layout/con.txt' \
    --out "$work/out/KEPT.ZIP"
row "links back up the tree" 1 'a/up$' - 'mkdir a b && ln -s .. a/up && ln -s .. b/up' \
    --out "$work/out/kept.zip"
row "a link to the sibling" 1 'holds links' - 'ln -s ../sibling layout/sibling' \
    --out "$work/out/kept.zip"
row "a list path of 128 through a dot-file" 1 'cache.n*: error: list path of 128' - \
    "mkdir .cache && : >.cache/$list_path_128" --copy-mode --out "$work/out/kept.iso"
row "a name too long for Joliet" 1 '65 characters; .* at most 64' - \
    ': >"One character more than a Joliet name on a disc holds refused.txt"' --copy-mode \
    --out "$work/out/KEPT.ISO"
row "--out in the suite" 2 'lies in the suite' - : --out "$work/suite/layout/new.zip"
row "--out in the suite through a link" 2 'lies in the suite' - \
    'ln -s ../suite ../sibling/alias' --out "$work/sibling/alias/new.zip"
row "--out is the suite" 2 'is a folder' - : --out "$work/suite"
row "the ZIP archive read back without a file" 1 '^-f [0-9]* start.ini' "$work/lossy" : \
    --out "$work/out/kept.zip"
row "the ISO image read back without a file" 1 '^-f [0-9]* veltrane/start.ini' "$work/lossy" : \
    --copy-mode --out "$work/out/kept.iso"
row "a FIFO" 1 'a FIFO: .*/layout/pipe.dat$' - 'mkfifo layout/pipe.dat' --out "$work/out/kept.zip"
row "a FIFO, copy mode" 1 'a FIFO: .*/pipe.dat$' - 'mkfifo pipe.dat' --copy-mode \
    --out "$work/out/kept.iso"
row "a character device" 1 'a character device: .*/noise.dat$' - 'mknod noise.dat c 1 9' \
    --out "$work/out/kept.zip"
row "a socket" 1 'a socket: .*/layout/sock$' - \
    "python3 -c 'import socket; socket.socket(socket.AF_UNIX).bind(\"layout/sock\")'" \
    --out "$work/out/kept.zip"
row "--out in the suite through .. after a missing folder" 2 'nonexist, which does not exist' \
    - : --out "$work/nonexist/../suite/veltrane.zip"
row "a name like a listing's columns" 0 'read plan: 14 files, .* 0 head movements' - \
    'printf data >"x [ 99 00]  y.txt"' --copy-mode --out "$work/out/kept.iso"
row "a ';' in a name on a disc" 1 "a;b.txt: error: a ';'" - ': >"a;b.txt"' --copy-mode \
    --out "$work/out/kept.iso"
row "an image out of setup's order" 1 'would not read in one pass' "$work/unordered" : \
    --copy-mode --out "$work/out/kept.iso"
row "SIGTERM while the image is written" TERM '' "$work/stalling-writer" : --copy-mode \
    --out "$work/out/kept.iso"
row "SIGINT while the archive is read back" INT '' "$work/stalling-reader" : \
    --out "$work/out/kept.zip"
row "SIGHUP while the image is written" HUP '' "$work/stalling-writer" : --copy-mode \
    --out "$work/out/kept.iso"
row "SIGQUIT while the archive is read back" QUIT '' "$work/stalling-reader" : \
    --out "$work/out/kept.zip"
row "two runs for one --out" TWICE 'kept.iso, [0-9]* bytes' "$work/stalling-writer" : \
    --copy-mode --out "$work/out/kept.iso"
row "SIGKILL while the image is written, then a run for the same --out" KILL \
    'kept.iso, [0-9]* bytes' "$work/stalling-writer" : --copy-mode --out "$work/out/kept.iso"
row "SIGKILL while the archive is read back, then a run for the same --out" KILL \
    'kept.zip, [0-9]* bytes' "$work/stalling-reader" : --out "$work/out/kept.zip"
# Whatever stands at the lock's name is refused, never followed, opened or replaced.
lock=../sibling/.make-medium.v.zip.lock
row "a link at the lock's name" 2 'lock .* is a link, not a lock file' - \
    "rm -rf $lock && ln -s victim $lock" --out "$work/sibling/v.zip"
row "a FIFO at the lock's name" 2 'lock .* is a FIFO, not a lock file' - \
    "rm -rf $lock && mkfifo $lock" --out "$work/sibling/v.zip"
row "a device at the lock's name" 2 'lock .* is a character device, not a lock file' - \
    "rm -rf $lock && mknod $lock c 1 3" --out "$work/sibling/v.zip"
row "a folder at the lock's name" 2 'lock .* is a folder, not a lock file' - \
    "rm -rf $lock && mkdir $lock" --out "$work/sibling/v.zip"
# The suite's start.ini touched once the image is written: the medium would hold the file as
# it was before, which the run must not pass for the suite as it is.
row "a file changed while it was packed" 1 'start.ini: changed while it was packed' \
    "$work/stalling-writer" "(tries=0
        until [ -s '$work/flags/stalled' ] || [ -e '$work/flags/go' ] || [ \$tries -ge 600 ]
        do sleep 0.1; tries=\$((tries + 1)); done
        [ -e '$work/flags/go' ] || touch -d 2000-01-01 start.ini; : >'$work/flags/go') \
        >/dev/null 2>&1 &" --copy-mode --out "$work/out/kept.iso"
row "--out a FIFO" 2 'is a FIFO, not a file' - \
    'rm -f ../sibling/fifo.zip && mkfifo ../sibling/fifo.zip' --out "$work/sibling/fifo.zip"
row "--out a device" 2 'is a character device, not a file' - \
    'rm -f ../sibling/null.zip && mknod ../sibling/null.zip c 1 3' --out "$work/sibling/null.zip"
row "--out a link" 2 'is a link, not a file' - 'ln -sfn keep.txt ../sibling/link.zip' \
    --out "$work/sibling/link.zip"
row "--out .iso for an in-place medium" 2 'so --out ends in .zip' - : --out "$work/out/v.iso"
row "--out .zip for a copy-mode medium" 2 'so --out ends in .iso' - : --copy-mode \
    --out "$work/out/v.zip"
for codepage in abc 65001 932x; do
    row "--codepage $codepage" 2 "--codepage $codepage: .*known: 874 932" - : \
        --codepage $codepage --out "$work/out/kept.zip"
done
# Judged by setup's own judgement, for the mode: what the directory page refuses or cuts.
row "--install-dir above C:" 2 'holds a folder name that ends in a dot: \.\.' - : \
    --install-dir 'C:\..\..\..\..\victim' --out "$work/out/kept.zip"
row "--install-dir a device name" 2 'C:.con holds a device name: con' - : \
    --install-dir 'C:\con' --out "$work/out/kept.zip"
row "--install-dir with a blank" 2 'holds a blank' - : --install-dir 'C:\my dir' \
    --out "$work/out/kept.zip"
row "--install-dir with a name ending in a blank" 2 'name that ends in a blank: suite' - : \
    --install-dir 'C:\suite \v' --out "$work/out/kept.zip"
row "--install-dir through a device name, copy mode" 2 'holds a device name: nul' - : \
    --copy-mode --install-dir 'C:\nul\v' --out "$work/out/kept.iso"
row "--install-dir of 100 characters, copy mode" 2 'the directory page takes at most 99' - : \
    --copy-mode --install-dir "C:\\$(printf '%097d' 0)" --out "$work/out/kept.iso"
row "--label too long for a disc" 2 'label' - : --copy-mode --label "$(printf '%033d' 0)" \
    --out "$work/out/kept.iso"
row "a hidden record out of setup's order" 0 'read plan: 13 files, .* 0 head movements' \
    "$work/hiding" 'printf data >hidden.dat' --copy-mode --out "$work/out/kept.iso"
# --out on a read-only and on a full file system (root mounts them, or the rows skip): one
# line naming the file and the cause.
mkdir "$work/readonly" "$work/full"
if mount -t tmpfs -o ro,size=1m tmpfs "$work/readonly" 2>/dev/null &&
    mount -t tmpfs -o size=16k tmpfs "$work/full" 2>/dev/null; then
    row "--out on a read-only file system" 2 \
        'readonly/.make-medium.v.zip.lock cannot be made or opened: Read-only file system' - : \
        --out "$work/readonly/v.zip"
    row "--out on a full file system" 2 'cannot write .*/full/v.zip: No space left on device' \
        - : --out "$work/full/v.zip"
    row "--out on a full file system, copy mode" 2 \
        'cannot write .*/full/v.iso: No space left on device' - : --copy-mode \
        --out "$work/full/v.iso"
else
    echo "--out on a read-only or full file system: skipped, no tmpfs can be mounted here"
fi

# A ZIP archive of the medium's start.ini and setup.exe whose first entry claims the
# compression method or the general-purpose flags given, in its local and central headers.
cat >"$work/claim.py" <<'EOF'
import sys
import zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    for name in ("start.ini", "setup.exe"):
        archive.write(name)
with open(sys.argv[1], "r+b") as image:
    data = bytearray(image.read())
    for signature, flags in ((b"PK\3\4", 6), (b"PK\1\2", 8)):
        at = data.find(signature)
        field = flags if sys.argv[2] == "flags" else flags + 2
        data[at + field:at + field + 2] = int(sys.argv[3]).to_bytes(2, "little")
    image.seek(0)
    image.write(data)
EOF

# First on try-medium's PATH: a python3 that refuses to unpack a medium unless it holds the
# work folder's lock, as every process of a rehearsal must, so that a killed run's watchdog
# finds them; and a cmake that fails a rehearsal begun (building its programs) at once.
mkdir "$work/inheriting"
printf '#!/bin/sh\necho "try-medium: a rehearsal began: cmake $*"; exit 1\n' \
    >"$work/inheriting/cmake"
cat >"$work/inheriting/python3" <<EOF
#!/bin/sh
[ "\$1 \$2" != "$repo/scripts/lib/medium.py unpack" ] ||
    [ /proc/\$\$/fd/9 -ef "$work/try/lock" ] ||
    { echo "try-medium: the rehearsal's lock is not held here"; exit 2; }
exec $(python3 -c "import sys; print(sys.executable)") "\$@"
EOF
chmod +x "$work/inheriting/python3" "$work/inheriting/cmake"

# try_row NAME SAYS PREPARE MEDIUM HOLD [OPTIONS...]: PREPARE, run in a new folder "medium"
# beside an empty folder "outside", makes an in-place medium MEDIUM (that folder or an
# archive beside it) that try-medium with OPTIONS, its input closed and a bound in time,
# must refuse before setup runs (exit 2) with a line saying SAYS, having written nothing
# outside its work folder "try"; one that begins a rehearsal (its programs built or its Wine
# session started) fails at once. HOLD "lock" runs it while another process holds the work
# folder's lock, as a rehearsal running there does; "-" does not; anything else is a command
# run in the work folder first.
try_row() {
    rm -rf "$work/medium" "$work/medium.zip" "$work/medium.ZIP" "$work/medium.iso" \
        "$work/outside" "$work/try"
    mkdir "$work/medium" "$work/outside" "$work/try"
    printf ':%%path%%\\layout\\router.ini\r\nGrid=25\r\n' >"$work/medium/start.ini"
    printf 'setup' >"$work/medium/setup.exe"
    (cd "$work/medium" && eval "$3")
    entries=$(find "$work" -mindepth 1 -maxdepth 1 ! -name try | LC_ALL=C sort)
    name=$1 says=$2 medium=$4 hold=
    case $5 in
    -) ;;
    lock) hold="flock $work/try/lock" ;;
    *) (cd "$work/try" && eval "$5") ;;
    esac
    shift 5
    PATH=$work/inheriting:$PATH MEDIUM_CHECK=$checker setsid -w $hold timeout -k 5 60 \
        sh "$repo/scripts/try-medium.sh" --work "$work/try" "$@" "$medium" >"$work/row.log" \
        2>&1 <&- &
    runner=$!
    until ! running "$runner" || [ -e "$work/try/wine" ]; do sleep 0.1; done
    problem=
    if running "$runner"; then
        problem="a rehearsal began;"
        kill -TERM -"$runner"
    fi
    status=0
    wait "$runner" || status=$?
    runner=
    [ $status -eq 2 ] || problem="$problem exit code $status, expected 2"
    grep -q -e "$says" "$work/row.log" || problem="$problem; no line with \"$says\""
    [ -z "$(ls -A "$work/outside")" ] || problem="$problem; written outside: $(ls -A "$work/outside")"
    [ "$(find "$work" -mindepth 1 -maxdepth 1 ! -name try | LC_ALL=C sort)" = "$entries" ] ||
        problem="$problem; made $(ls -A "$work" | tr '\n' ' ')"
    ! grep -q Traceback "$work/row.log" || problem="$problem; a traceback"
    if [ -n "$problem" ]; then
        echo "try-medium, $name: $problem"
        cat "$work/row.log"
        failures=$((failures + 1))
    fi
}

try_row "a ZIP archive holding a link out of it" 'layout: a link' \
    'ln -s ../outside layout && zip -qry ../medium.zip .' "$work/medium.zip" -
try_row "a ZIP archive holding a name twice" 'start.ini: a second entry' \
    "python3 -W ignore -c 'import zipfile; z = zipfile.ZipFile(\"../medium.zip\", \"w\")
for name in (\"start.ini\", \"setup.exe\", \"start.ini\"): z.write(name)'" "$work/medium.zip" -
try_row "a folder holding a link out of it" 'layout: a link' 'ln -s ../outside layout' \
    "$work/medium" -
# Folders that only the names of a ZIP archive's files imply are compared too.
try_row "a ZIP archive of data/one.txt and DATA/two.txt" 'differs from DATA only in letter case' \
    "mkdir data DATA && : >data/one.txt && : >DATA/two.txt &&
    python3 -c 'import zipfile; z = zipfile.ZipFile(\"../medium.zip\", \"w\")
for name in (\"start.ini\", \"setup.exe\", \"data/one.txt\", \"DATA/two.txt\"): z.write(name)'" \
    "$work/medium.zip" -
# Windows upper-cases one character at a time: ß stays ß, another name than SS. The medium
# then lacks only setup.exe, which try-medium says next.
try_row "ß.txt beside SS.txt" 'holds no setup.exe' \
    "printf a >'$(printf '\303\237').txt' && printf b >SS.txt && rm setup.exe" "$work/medium" -
try_row "a Deflate64 entry" 'start.ini: compressed by method 9' \
    "python3 '$work/claim.py' ../medium.zip method 9" "$work/medium.zip" -
try_row "an encrypted entry" 'start.ini: encrypted' \
    "python3 '$work/claim.py' ../medium.zip flags 1" "$work/medium.zip" -
try_row "a ZIP archive named .iso" 'holds a ZIP archive, not an ISO 9660 image: .* end in .zip' \
    'zip -q ../medium.iso start.ini setup.exe' "$work/medium.iso" -
try_row "an ISO image named .ZIP" 'holds an ISO 9660 image, not a ZIP archive: .* end in .iso' \
    'xorriso -as mkisofs -quiet -J -o ../medium.ZIP . 2>/dev/null' "$work/medium.ZIP" -
try_row "an install directory above C:" 'ends in a dot' : "$work/medium" - \
    --install-dir 'C:\..\..\..\..\victim'
try_row "an install directory holding a device name" 'holds a device name: aux.dir' : \
    "$work/medium" - --install-dir 'C:\suite\aux.dir'
try_row "an install directory holding a blank" 'holds a blank' : "$work/medium" - \
    --install-dir 'C:\my dir'
try_row "a copy-mode install directory of 123 characters" 'takes at most 99' \
    'mkdir veltrane && mv start.ini veltrane/' "$work/medium" - \
    --install-dir "C:\\$(printf '%0120d' 0)"
try_row "a second rehearsal in the same work folder" 'another rehearsal is running' : \
    "$work/medium" lock
try_row "a link at the lock's name" 'lock is a link, not a lock file' : "$work/medium" \
    'ln -s ../outside/made lock'
try_row "a FIFO at the lock's name" 'lock is a FIFO, not a lock file' : "$work/medium" \
    'mkfifo lock'
try_row "a folder at the lock's name" 'lock is a folder, not a lock file' : "$work/medium" \
    'mkdir lock'

# Rehearsal folders: every name of a medium a folder of its own.
names="x.y.zip x-y.zip x_y.zip x-.y.zip x.-y.zip x_-y.zip x-_y.zip x__y.zip x_.y.zip x._y.zip"
folders=$(for name in $names; do python3 "$repo/scripts/lib/medium.py" work-name "$name"; done |
    sort -u | wc -l)
if [ "$folders" -ne 10 ]; then
    echo "10 names, $folders rehearsal folders"
    failures=$((failures + 1))
fi

# Two races forced: a lock taken on a file that its holder removed meanwhile, another run
# making it anew, is taken again on the file now at its path; a file rewritten after it was
# copied, within the tick of the change before (its times as they were), is told by content.
python3 - "$repo/scripts/lib" "$work/relock" <<'EOF' || failures=$((failures + 1))
import fcntl, os, sys
sys.path.insert(0, sys.argv[1])
import medium
flock, path = fcntl.flock, sys.argv[2]
def replaced(fd, operation):
    fcntl.flock = flock
    os.unlink(path)
    medium.create(path).close()
    flock(fd, operation)
fcntl.flock = replaced
if not os.path.samestat(os.fstat(medium.hold(path)), os.lstat(path)):
    sys.exit("the lock was taken on a file no longer at its path")
with open(path + ".a", "wb") as source:
    source.write(b"one")
snapshot = medium.Snapshot()
snapshot.copy(path + ".a", path + ".b")
medium._state = lambda info: (info.st_dev, info.st_ino, info.st_size)
with open(path + ".a", "r+b") as source:
    source.write(b"two")
try:
    snapshot.verify()
    sys.exit("a file rewritten with its times unchanged passed for its copy")
except medium.Refused:
    pass
EOF

[ $failures -eq 0 ] || exit 1
echo "make-medium: both kinds written and read back; every hostile suite refused unharmed"

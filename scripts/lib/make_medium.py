"""The work of scripts/make-medium.sh, which says what it does and how it is called. In
Python rather than the shell: a signal acts at once (a shell runs its trap only once its
foreground child has returned), file types are told from one lstat, and paths are compared
by identity once resolved.

    make_medium.py <name of the command> <its arguments>
"""
import ctypes
import difflib
import os
import signal
import stat
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import medium  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PROGRAMS = ("setup.exe", "setup-copy.exe", "brindle.exe")
PR_SET_PDEATHSIG = 1


class Stop(Exception):
    def __init__(self, code, text=None):
        super().__init__(text)
        self.code = code
        self.text = text


class Run:
    """One run: what it made, to be removed when it ends, and the child it waits for."""

    def __init__(self):
        self.child = None
        self.remove = []
        self.made = []  # the folders made for --out, deepest last
        self.lock = None  # (its path, its descriptor)
        self.rehearsal = None  # the work folder of a running try-medium

    def call(self, command, **options):
        """Runs `command` in a process group of its own, with no input; its exit code, and
        what it wrote to a pipe asked for. The child holds the lock of --out too, so that no
        run for it starts while any part of this one still runs, and is killed when this
        process dies, also of SIGKILL, which leaves no time to end it."""
        parent = os.getpid()
        libc = ctypes.CDLL(None, use_errno=True)

        def die_with_parent():
            libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
            if os.getppid() != parent:
                os._exit(1)
        # A signal between the start and the bookkeeping would leave the child unknown.
        signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
        try:
            self.child = subprocess.Popen(command, stdin=subprocess.DEVNULL,
                                          start_new_session=True, preexec_fn=die_with_parent,
                                          pass_fds=(self.lock[1],) if self.lock else (),
                                          **options)
        finally:
            signal.pthread_sigmask(signal.SIG_UNBLOCK, SIGNALS)
        try:
            output = self.child.communicate()
            return self.child.returncode, output
        finally:
            self.end_child()

    def end_child(self):
        """Ends the running child and its group, if any, and waits for it: SIGTERM lets
        try-medium stop its Wine session, which takes a moment; whatever is left after
        1.5 s is killed, so that a run ends within 2 s of a signal."""
        child, self.child = self.child, None
        if child is None or child.poll() is not None:
            return
        for sent, bound in ((signal.SIGTERM, 1.5), (signal.SIGKILL, None)):
            try:
                os.killpg(child.pid, sent)
            except ProcessLookupError:
                return
            try:
                child.wait(bound)
                break
            except subprocess.TimeoutExpired:
                continue
        # A try-medium killed before its own clean-up leaves that to its watchdog, which
        # holds the work folder's lock until the rehearsal's session and files are gone.
        if sent == signal.SIGKILL and self.rehearsal:
            try:
                medium.wait_free(os.path.join(self.rehearsal, "lock"), 60)
            except medium.Refused:
                pass  # no lock of try-medium's own: it refused the work folder

    def clean_up(self):
        self.end_child()
        for path in self.remove:
            medium.remove(path)
        lock, self.lock = self.lock, None
        if lock is not None:
            # Removed while still held: a run that opened this file meanwhile takes a new one.
            try:
                os.unlink(lock[0])
            finally:
                os.close(lock[1])
        for folder in reversed(self.made):
            try:
                os.rmdir(folder)
            except OSError:
                break

    def hold(self, out):
        """Holds the lock of `out` for the rest of the run; refused while another run holds
        it: two runs for one --out would rehearse in one folder and end each other's
        session."""
        path = os.path.join(os.path.dirname(out), ".make-medium.%s.lock" % os.path.basename(out))
        try:
            lock = medium.hold(path)
        except medium.Refused as error:
            raise Stop(2, str(error)) from None
        except OSError as error:
            raise Stop(2, "cannot make the lock %s: %s" % (path, error.strerror)) from None
        if lock is None:
            raise Stop(1, "another make-medium is writing %s; nothing done" % out)
        self.lock = (path, lock)


SIGNALS = (signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGTERM)


def interrupted(number, _):
    for name in SIGNALS:
        signal.signal(name, signal.SIG_IGN)
    raise Stop(128 + number)


def say(text):
    print("make-medium: %s" % text, flush=True)


def usage(command):
    raise Stop(2, "usage: %s [--copy-mode] [--label NAME] [--install-dir DIR] [--codepage N] "
               "[--programs DIR] [--out FILE] [--no-try] <suite folder>" % command)


def arguments(argv):
    command, rest = argv[0], argv[1:]
    options = {"copy": False, "label": "VELTRANE", "install": "C:\\veltrane", "codepage": "1252",
               "programs": "", "out": "", "try": True, "suite": ""}
    valued = {"--label": "label", "--install-dir": "install", "--codepage": "codepage",
              "--programs": "programs", "--out": "out"}
    while rest:
        word = rest.pop(0)
        if word == "--copy-mode":
            options["copy"] = True
        elif word == "--no-try":
            options["try"] = False
        elif word in valued:
            if not rest:
                usage(command)
            options[valued[word]] = rest.pop(0)
        elif word.startswith("-") or options["suite"]:
            usage(command)
        else:
            options["suite"] = word
    if not options["suite"]:
        usage(command)
    return options


def listing(top):
    """One line per entry below `top`, as find's %y, %s and %P give them ("d <path>" for a
    folder), sorted by bytes."""
    letters = {stat.S_IFREG: "f", stat.S_IFDIR: "d", stat.S_IFLNK: "l", stat.S_IFIFO: "p",
               stat.S_IFSOCK: "s", stat.S_IFCHR: "c", stat.S_IFBLK: "b"}
    lines = []
    for path, info in medium.entries(top):
        letter = letters[stat.S_IFMT(info.st_mode)]
        lines.append("d %s" % path if letter == "d" else "%s %d %s" % (letter, info.st_size, path))
    return sorted(lines, key=os.fsencode)


def build(preset, targets):
    with open(os.devnull, "wb") as quiet:
        if run.call(["cmake", "--preset", preset], cwd=ROOT, stdout=quiet)[0] != 0:
            raise Stop(1)
    if run.call(["cmake", "--build", "--preset", preset, "--target"] + targets, cwd=ROOT)[0] != 0:
        raise Stop(1)


def check_suite(suite, copy):
    """Refuses a suite that a medium cannot hold, before anything is copied."""
    if not os.path.isdir(suite):
        raise Stop(2, "%s is not a folder" % suite)
    # Windows finds start.ini in any letter case.
    if not any(name.lower() == "start.ini" and
               stat.S_ISREG(os.lstat(os.path.join(suite, name)).st_mode)
               for name in os.listdir(suite)):
        raise Stop(2, "%s holds no start.ini" % suite)
    # Neither an ISO 9660 image nor a ZIP archive read on Windows holds anything else.
    refused = medium.special(suite)
    if refused:
        raise Stop(1, "%s holds links, FIFOs, sockets or devices, which a medium cannot hold "
                   "(only files and folders):\n%s" % (suite, "\n".join(
                       "%s: %s" % (what, os.path.join(suite, path)) for path, what in refused)))
    if copy:
        # Windows takes ';' in a name; a Joliet name cannot hold it.
        semicolons = [path for path, _ in medium.entries(suite) if ";" in os.path.basename(path)]
        if semicolons:
            raise Stop(1, "\nmake-medium: ".join(
                "veltrane/%s: error: a ';' in a name, which the Joliet names on a disc cannot "
                "hold" % path for path in semicolons))


def output_folder(out, suite, copy):
    """--out's folder, resolved physically: (the folder, the parts of it to be made)."""
    if os.path.isdir(out) or os.path.basename(out) in ("", ".", ".."):
        raise Stop(2, "--out %s is a folder" % out)
    # The final rename replaces nothing but a file: never a device, a FIFO or a link.
    if os.path.lexists(out) and not stat.S_ISREG(os.lstat(out).st_mode):
        raise Stop(2, "--out %s is %s, not a file; only a file or nothing is replaced"
                   % (out, medium.kind(os.lstat(out).st_mode)))
    # What the name says is what is written, and what try-medium takes it for.
    fits = ".iso" if copy else ".zip"
    if not out.lower().endswith(fits):
        raise Stop(2, "--out %s: %s is written as %s, so --out ends in %s"
                   % (out, "a copy-mode medium" if copy else "an in-place medium",
                      "an ISO 9660 image" if copy else "a ZIP archive", fits))
    try:
        existing, missing = medium.resolve(os.path.dirname(out) or ".")
    except medium.Refused as error:
        raise Stop(2, "--out %s: %s" % (out, error)) from None
    # An image inside the suite would be packed into the next medium.
    if medium.inside(existing, suite):
        raise Stop(2, "--out %s lies in the suite folder %s" % (out, suite))
    return existing, missing


def scratch(suite, out):
    """The run's private folder in TMPDIR, which must not lie in the suite (the suite is
    copied into it); it names --out in its file "owner", so that the next run for it removes
    what a killed one left there."""
    tmp = os.environ.get("TMPDIR") or "/tmp"
    try:
        existing, missing = medium.resolve(tmp)
        if missing:
            raise medium.Refused("%s does not exist" % os.path.join(existing, *missing))
        if medium.inside(existing, suite):
            raise medium.Refused("it lies in the suite folder %s" % suite)
        # Its name stays short: copy-mode list paths are measured from the layout in it.
        owner = os.fsencode(os.path.abspath(out))
        medium.remove_leftovers(existing, "make-medium.", owner)
        layout = medium.new_folder(existing, "make-medium.")
        with medium.create(os.path.join(layout, "owner")) as text:
            text.write(owner)
    except (medium.Refused, OSError) as error:
        raise Stop(1, "cannot work in the temporary folder %s: %s" % (tmp, error)) from None
    run.remove.append(layout)
    return layout


def read_back(image, layout, needed):
    """The image unpacked by libarchive (for an image its Joliet tree, Rock Ridge off, as
    Windows reads it) into layout/read; a failure is put on the folder when that has no room."""
    read = os.path.join(layout, "read")
    os.mkdir(read)
    # Its messages through a pipe: a full temporary folder would lose them.
    status, (_, message) = run.call(["bsdtar", "-x", "-f", image, "-C", read,
                                     "--options", "iso9660:!rockridge"], stderr=subprocess.PIPE)
    if status == 0:
        return read
    message = message.decode(errors="replace")
    sys.stderr.write(message)
    space = os.statvfs(layout)
    free = space.f_bavail * space.f_frsize
    if free < needed or "No space left" in message or "quota" in message:
        raise Stop(1, "no room to read the image back in the temporary folder %s (%s bytes "
                   "free, %s needed)" % (os.path.dirname(layout), "{:,}".format(free),
                                         "{:,}".format(needed)))
    raise Stop(1, "%s cannot be read back" % image)


def no_room(out, staging, needed):
    """Refuses the run when what was written beside --out filled its file system."""
    space = os.statvfs(staging)
    if space.f_bavail * space.f_frsize < needed:
        raise Stop(2, "cannot write %s: No space left on device (%s bytes free, %s needed)"
                   % (out, "{:,}".format(space.f_bavail * space.f_frsize), "{:,}".format(needed)))


def compare(laid_out, written):
    """Names, sizes and bytes of the laid-out medium against what was read back."""
    expected, got = listing(laid_out), listing(written)
    differences = list(difflib.unified_diff(expected, got, "laid out", "written", lineterm=""))
    for line in sorted(set(expected) & set(got)):
        if line.startswith("f "):
            path = line.split(" ", 2)[2]
            if not medium.same_bytes(os.path.join(laid_out, path), os.path.join(written, path)):
                differences.append("Files %s and %s differ" % (os.path.join(laid_out, path),
                                                               os.path.join(written, path)))
    if differences:
        raise Stop(1, "the image does not hold what was laid out (- laid out, + written):\n"
                   + "\n".join(differences))


def disc_order(verb, argument, output_path):
    """Runs disc-order.py's `verb` on `argument`, its output into `output_path`; its status."""
    with open(output_path, "wb") as output:
        return run.call([sys.executable, os.path.join(ROOT, "scripts", "disc-order.py"), verb,
                         argument], stdout=output)[0]


def check_options(options, checker):
    """Refuses, by name, an option value that the tools cannot use, before anything is
    built."""
    known = run.call([checker, "--code-pages"], stdout=subprocess.PIPE)[1][0].decode().split()
    if options["codepage"] not in known:
        raise Stop(2, "--codepage %s: not an ANSI code page of Windows; known: %s"
                   % (options["codepage"], " ".join(known)))
    try:
        options["install"] = medium.install_directory(options["install"], checker,
                                                      options["copy"], options["codepage"])
    except medium.Refused as error:
        raise Stop(2, "--install-dir: %s" % error) from None
    # The image's volume label: xorriso refuses more, Windows shows ASCII alone.
    label = options["label"]
    if not 1 <= len(label) <= 32 or not all(" " <= c <= "~" for c in label):
        raise Stop(2, "--label %s: a volume label is 1 to 32 printable ASCII characters"
                   % label)
    programs = options["programs"]
    if programs and not all(os.path.isfile(os.path.join(programs, p)) for p in PROGRAMS):
        raise Stop(2, "--programs %s does not hold %s" % (programs, ", ".join(PROGRAMS)))


def make(options):
    copy = options["copy"]
    suite = os.path.realpath(options["suite"])
    check_suite(options["suite"], copy)
    out = options["out"] or os.path.join(ROOT, "build", "medium",
                                         "veltrane.iso" if copy else "veltrane.zip")
    folder, missing = output_folder(out, suite, copy)

    checker = (os.environ.get("MEDIUM_CHECK") or
               os.path.join(ROOT, "build", "native", "medium-check"))
    if not os.access(checker, os.X_OK):
        build("native", ["medium-check"])
    check_options(options, checker)
    # The presets belong to the source tree, wherever make-medium is run from.
    programs = options["programs"]
    if not programs:
        programs = os.path.join(ROOT, "build", "win32")
        if not all(os.path.isfile(os.path.join(programs, p)) for p in PROGRAMS):
            build("win32", ["setup", "setup-copy", "brindle"])

    for part in missing:
        folder = os.path.join(folder, part)
        try:
            os.mkdir(folder)
        except OSError as error:
            raise Stop(2, "cannot make the folder %s for --out: %s" % (folder, error.strerror))
        run.made.append(folder)
    out = os.path.join(folder, os.path.basename(out))
    run.hold(out)
    out_folder = folder
    # What a killed run for this --out left beside it; the lock says none runs now.
    staging_prefix = ".make-medium.%s.staging-" % os.path.basename(out)
    medium.remove_leftovers(out_folder, staging_prefix)

    layout = scratch(suite, out)
    laid_out = os.path.join(layout, "medium")
    os.mkdir(laid_out)
    snapshot = medium.Snapshot()
    try:
        if copy:
            medium.copy_file(os.path.join(programs, "setup-copy.exe"),
                             os.path.join(laid_out, "setup.exe"), snapshot)
            os.mkdir(os.path.join(laid_out, "veltrane"))
            medium.copy_tree(suite, os.path.join(laid_out, "veltrane"), snapshot)
        else:
            medium.copy_tree(suite, laid_out, snapshot)
            medium.copy_file(os.path.join(programs, "setup.exe"),
                             os.path.join(laid_out, "setup.exe"), snapshot)
        medium.copy_file(os.path.join(programs, "brindle.exe"),
                         os.path.join(laid_out, "brindle.exe"), snapshot)
    except (medium.Refused, OSError) as error:
        raise Stop(1, "cannot lay out the medium: %s" % error) from None

    # Its scratch folder beside the medium, in a folder of this run's own.
    check_tmp = os.path.join(layout, "check")
    os.mkdir(check_tmp)
    # An ISO also has Joliet's own rules for names, which the checker applies on request.
    status = run.call([checker, laid_out] + (["--copy-mode", "--disc-image"] if copy else []) +
                      ["--install-dir", options["install"], "--codepage", options["codepage"],
                       "--dot-files-visible"], env=dict(os.environ, TMPDIR=check_tmp))[0]
    if status >= 2 or status < 0:
        raise Stop(1, "medium-check found errors; nothing written")

    # Written beside --out, so that the rename below replaces it in one step.
    try:
        staging = medium.new_folder(out_folder, staging_prefix)
    except OSError as error:
        raise Stop(2, "cannot write beside --out %s: %s" % (out, error.strerror)) from None
    run.remove.append(staging)
    image = os.path.join(staging, os.path.basename(out))
    size = sum(info.st_size for _, info in medium.entries(laid_out))
    if copy:
        # Every file's data in the order setup reads the disc, so that it reads in one pass.
        weights = os.path.join(layout, "weights.xorriso")
        status = disc_order("weights", laid_out, weights)
        if status != 0:
            raise Stop(status)
        with open(os.path.join(layout, "xorriso.log"), "wb") as log:
            status = run.call(["xorriso", "-outdev", image, "-volid", options["label"],
                               "-joliet", "on", "-map", laid_out, "/", "-options_from_file",
                               weights], stdout=log, stderr=log)[0]
        if status != 0:
            no_room(out, staging, size)
            with open(os.path.join(layout, "xorriso.log"), errors="replace") as log:
                sys.stderr.write(log.read())
            raise Stop(1)
    else:
        try:
            medium.write_zip(laid_out, image)
        except OSError as error:
            no_room(out, staging, size)
            raise Stop(2, "cannot write %s: %s" % (out, error.strerror)) from None
    compare(laid_out, read_back(image, layout, size))
    if copy:
        # Proven with another reader than the writer: the records as Windows lists them.
        plan = os.path.join(layout, "plan.txt")
        if disc_order("check", image, plan) != 0:
            raise Stop(1, "the image would not read in one pass; not written")
        with open(plan, errors="replace") as text:
            say(text.read().strip())
    if options["try"]:
        # The rehearsal's report, screenshots and contact sheet go beside the image.
        run.rehearsal = os.path.join(out_folder,
                                     "try-" + medium.rehearsal_name(os.path.basename(out)))
        status = run.call(["sh", os.path.join(ROOT, "scripts", "try-medium.sh"), "--install-dir",
                           options["install"], "--work", run.rehearsal, image],
                          env=dict(os.environ, MEDIUM_CHECK=checker))[0]
        run.rehearsal = None
        if status != 0:
            raise Stop(1, "the image did not install as it should (try-medium exit code %d); "
                       "%s not written" % (status, out))
    # Every file packed is still what it was when copied, and --out still a file or nothing.
    try:
        snapshot.verify()
    except medium.Refused as error:
        raise Stop(1, str(error)) from None
    if os.path.lexists(out) and not stat.S_ISREG(os.lstat(out).st_mode):
        raise Stop(1, "--out %s has become %s meanwhile; not replaced"
                   % (out, medium.kind(os.lstat(out).st_mode)))
    os.replace(image, out)
    run.made = []
    say("%s, %d bytes, %d entries" % (out, os.stat(out).st_size, len(listing(laid_out))))


run = Run()


def main():
    sys.stdout.reconfigure(line_buffering=True)
    for number in SIGNALS:
        signal.signal(number, interrupted)
    code = 0
    try:
        make(arguments(sys.argv[1:]))
    except Stop as stop:
        code = stop.code
        if stop.text:
            sys.stderr.write(stop.text if stop.text.startswith("usage") else
                             "make-medium: %s" % stop.text)
            sys.stderr.write("\n")
    except Exception as error:  # whatever an input does, one line and no traceback
        code = 1
        sys.stderr.write("make-medium: %s\n" % error)
    finally:
        try:
            run.clean_up()
        except Stop as stop:
            code = stop.code
            run.clean_up()
    sys.exit(code)


if __name__ == "__main__":
    main()

"""What make-medium, try-medium and disc-order.py share. They read folders, images and
archives that other people assembled, so an entry is data: only regular files and folders
are taken, a file is opened only once it is known to be regular (opening a FIFO waits for a
writer, a device never ends), no link is followed, and an output folder is resolved
physically before it is compared with anything.

As a program, for try-medium:
    medium.py unpack iso|zip|folder SOURCE DEST CHECKER
                                 the medium's entries into the new DEST, after every entry
                                 was found acceptable, each name once (letter case judged
                                 by the medium-check CHECKER)
    medium.py folder PATH [MEDIUM]   PATH resolved physically, refused when it lies in the
                                 folder MEDIUM
    medium.py within PATH TOP    refused unless PATH, resolved physically, lies in TOP
    medium.py install-dir DIR CHECKER [copy]
                                 DIR as the install directory, refused unless a full path
                                 on C: that setup takes (in place, or copy mode)
    medium.py work-name NAME     the rehearsal folder's name for the medium NAME
    medium.py rehearse WORK yes|no COMMAND...
                                 COMMAND run holding WORK's lock, with a watchdog that ends
                                 and removes what is left of the rehearsal if it dies
Exit code 2 with the reason on a refusal.
"""
import fcntl
import os
import random
import re
import select
import shutil
import signal
import stat
import string
import subprocess
import sys
import time
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SECTOR = 2048
KINDS = {stat.S_IFLNK: "a link", stat.S_IFIFO: "a FIFO", stat.S_IFSOCK: "a socket",
         stat.S_IFCHR: "a character device", stat.S_IFBLK: "a block device",
         stat.S_IFDIR: "a folder"}


class Refused(Exception):
    pass


def kind(mode):
    return KINDS.get(stat.S_IFMT(mode), "a special file")


def acceptable(mode):
    return stat.S_ISREG(mode) or stat.S_ISDIR(mode)


def entries(top, relative=""):
    """(relative path, lstat) of every entry below `top`, each folder's names sorted and
    each folder before what it holds; links are not followed."""
    for name in sorted(os.listdir(os.path.join(top, relative))):
        path = os.path.join(relative, name)
        info = os.lstat(os.path.join(top, path))
        yield path, info
        if stat.S_ISDIR(info.st_mode):
            yield from entries(top, path)


def special(top):
    """(relative path, kind) of every entry below `top` that is not a file or a folder."""
    return [(path, kind(info.st_mode)) for path, info in entries(top)
            if not acceptable(info.st_mode)]


def open_regular(path):
    """`path` opened for reading, refused unless it is a regular file; the open itself
    never waits and never follows a link."""
    fd = os.open(path, os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_NOCTTY)
    info = os.fstat(fd)
    if not stat.S_ISREG(info.st_mode):
        os.close(fd)
        raise Refused("%s: %s, not a regular file" % (path, kind(info.st_mode)))
    os.set_blocking(fd, True)
    return os.fdopen(fd, "rb")


def create(path, mode=0o644):
    """A new file at `path` for writing: never an existing one, never through a link."""
    return os.fdopen(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW,
                             mode), "wb")


def _state(info):
    return info.st_dev, info.st_ino, info.st_size, info.st_mtime_ns, info.st_ctime_ns


class Snapshot:
    """What each copied file was when its copy began: a file that is found otherwise
    afterwards (its size, modification or change time, or another file in its place) was
    changed while it was packed, and the medium would hold a mix of its versions."""

    # A change within the tick of the file's last one leaves its times as they were: a
    # file changed that shortly before its copy began is also compared with its copy.
    RACY_SECONDS = 2

    def __init__(self):
        self.files = []

    def changed(self, source):
        raise Refused("%s: changed while it was packed; nothing written" % source)

    def copy(self, source, target):
        with open_regular(source) as reader, create(target) as writer:
            before = os.fstat(reader.fileno())
            began = time.time()
            shutil.copyfileobj(reader, writer)
            os.fchmod(writer.fileno(), before.st_mode & 0o777)
            if _state(os.fstat(reader.fileno())) != _state(before):
                self.changed(source)
        self.files.append((source, target, before, began))

    def verify(self):
        """Refuses the run when a copied file is no longer what it was when copied."""
        for source, target, before, began in self.files:
            try:
                now = os.lstat(source)
            except OSError:
                self.changed(source)
            if _state(now) != _state(before) or not stat.S_ISREG(now.st_mode):
                self.changed(source)
            if began - before.st_ctime < self.RACY_SECONDS and not same_bytes(source, target):
                self.changed(source)


def same_bytes(first, second):
    with open_regular(first) as one, open_regular(second) as other:
        while True:
            a, b = one.read(1 << 20), other.read(1 << 20)
            if a != b:
                return False
            if not a:
                return True


def copy_file(source, target, snapshot=None):
    (snapshot or Snapshot()).copy(source, target)


def copy_tree(source, target, snapshot=None):
    """The files and folders below `source` into the existing folder `target`; anything
    else is refused, also if it appears while copying."""
    for path, info in entries(source):
        if stat.S_ISDIR(info.st_mode):
            os.mkdir(os.path.join(target, path))
        elif stat.S_ISREG(info.st_mode):
            copy_file(os.path.join(source, path), os.path.join(target, path), snapshot)
        else:
            raise Refused("%s: %s" % (os.path.join(source, path), kind(info.st_mode)))


def remove(path):
    """Removes `path` and what it holds, read-only folders included."""
    def writable(function, failed, _):
        os.chmod(os.path.dirname(failed), 0o700)
        function(failed)
    if os.path.lexists(path):
        shutil.rmtree(path, onerror=writable)


def new_folder(parent, prefix):
    """A new private folder in `parent`, named `prefix` and six random characters."""
    letters = string.ascii_letters + string.digits
    while True:
        path = os.path.join(parent, prefix + "".join(random.choices(letters, k=6)))
        try:
            os.mkdir(path, 0o700)
            return path
        except FileExistsError:
            continue


def install_directory(text, checker, copy=False, codepage="1252"):
    """The install directory `text` as setup and the rehearsal take it, one trailing
    backslash dropped: a full path on drive C:, where the rehearsal installs, that setup's
    own judgement (through the medium-check CHECKER) accepts for the mode; refused
    otherwise, so that no path made of it leads anywhere but below C:\\."""
    if not re.match(r"^[cC]:\\", text):
        raise Refused("the install directory %s is not a full path on drive C: (C:\\...)" % text)
    result = subprocess.run([checker, "--judge-install-dir", text, "--codepage", codepage] +
                            (["--copy-mode"] if copy else []),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    if result.returncode != 0:
        found = [line.split(": error: ", 1)[1] for line in
                 result.stdout.decode("utf-8", "replace").splitlines() if ": error: " in line]
        raise Refused("; ".join(found) or result.stdout.decode("utf-8", "replace").strip())
    return text[:-1] if text.endswith("\\") and len(text) > 3 else text


def rehearsal_name(name):
    """The name of a rehearsal folder for the medium `name`: the name with each dot a
    hyphen, each hyphen "_-" and each "_" "__", so that no two names share a folder."""
    return "".join({".": "-", "-": "_-", "_": "__"}.get(c, c) for c in name)


def remove_leftovers(folder, prefix, owner=None):
    """Removes the folders in `folder` named `prefix` and six letters or digits that only a
    run of this tool for the same output makes, never through a link: with `owner`, those
    whose file "owner" (read as data) holds it; nothing else."""
    pattern = re.compile(re.escape(prefix) + "[A-Za-z0-9]{6}$")
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if not pattern.match(name) or not stat.S_ISDIR(os.lstat(path).st_mode):
            continue
        if owner is not None:
            try:
                with open_regular(os.path.join(path, "owner")) as text:
                    if text.read(len(owner) + 1) != owner:
                        continue
            except (OSError, Refused):
                continue
        remove(path)


def open_lock(path, create=True):
    """The lock file at `path`, a regular file made by the tool, opened for writing without
    following a link or waiting on a FIFO: its descriptor, or None when it is missing and
    not to be made. Anything else at its name is refused by name, and nothing is made."""
    try:
        mode = os.lstat(path).st_mode
    except FileNotFoundError:
        mode = None
    if mode is not None and not stat.S_ISREG(mode):
        raise Refused("the lock %s is %s, not a lock file this tool made; nothing done"
                      % (path, kind(mode)))
    flags = os.O_WRONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_NOCTTY | os.O_CLOEXEC
    try:
        fd = os.open(path, flags | (os.O_CREAT if create else 0), 0o644)
    except FileNotFoundError:
        if create:
            raise
        return None
    except OSError as error:
        raise Refused("the lock %s cannot be made or opened: %s; nothing done"
                      % (path, error.strerror)) from None
    info = os.fstat(fd)
    if not stat.S_ISREG(info.st_mode):
        os.close(fd)
        raise Refused("the lock %s is %s, not a lock file this tool made; nothing done"
                      % (path, kind(info.st_mode)))
    return fd


def hold(path):
    """The descriptor of the lock at `path`, held (an exclusive flock) for as long as it or
    a copy of it stays open; None while another run holds it. A lock dies with the last
    process that holds it, so one that no process holds is taken at once."""
    while True:
        fd = open_lock(path)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            os.close(fd)
            return None
        # Taken on a file that its last holder removed meanwhile: the lock is the new one.
        try:
            if os.path.samestat(os.fstat(fd), os.lstat(path)):
                return fd
        except FileNotFoundError:
            pass
        os.close(fd)


def wait_free(path, seconds):
    """Waits, at most `seconds`, until no process holds the lock at `path` (a missing one
    is free); whether it is."""
    fd = open_lock(path, create=False)
    if fd is None:
        return True
    try:
        for _ in range(int(seconds * 10)):
            try:
                fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
                return True
            except BlockingIOError:
                time.sleep(0.1)
        return False
    finally:
        os.close(fd)


def _holders(lock):
    """Every other process that holds the flock of the descriptor `lock` (a copy of the
    same open file), as the kernel lists each descriptor's locks; merely having the file
    open, as a run that was refused has, is not holding it."""
    target = os.fstat(lock)
    found = set()
    for pid in os.listdir("/proc"):
        if not pid.isdigit() or int(pid) == os.getpid():
            continue
        try:
            for fd in os.listdir("/proc/%s/fd" % pid):
                if not os.path.samestat(os.stat("/proc/%s/fd/%s" % (pid, fd)), target):
                    continue
                with open("/proc/%s/fdinfo/%s" % (pid, fd)) as info:
                    if any(line.startswith("lock:") for line in info):
                        found.add(int(pid))
        except OSError:
            continue
    return found


def end_rehearsal(work, run, keep, lock):
    """Ends what is left of the rehearsal `run` (the pid of try-medium) in `work`: every
    process that still holds its lock (the rehearsal's programs inherit it), its Wine
    session and its qemu entry; unless `keep`, its disc, unpacked medium and prefix."""
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL,
             "stderr": subprocess.DEVNULL}
    # Asked first, so that each can remove what it made (a shell its scratch files); what is
    # left after 3 s is killed.
    for sent, tries in ((signal.SIGTERM, 30), (signal.SIGKILL, 300)):
        for _ in range(tries):
            holders = _holders(lock)
            if not holders:
                break
            for pid in holders:
                try:
                    os.kill(pid, sent)
                except ProcessLookupError:
                    pass
            time.sleep(0.1)
    if os.path.exists(os.path.join(work, "wine", "env")):
        subprocess.call(["sh", os.path.join(ROOT, "tests", "harness", "wine-session.sh"),
                         "stop", work], **quiet)
    subprocess.call([os.path.join(ROOT, "scripts", "i386-support.sh"), "disable",
                     "try-%d" % run], **quiet)
    if not keep:
        for part in ("cdrom", "unpacked", os.path.join("wine", "prefix")):
            try:
                remove(os.path.join(work, part))
            except OSError:
                pass


def rehearse(work, keep, command):
    """Runs `command` (try-medium itself, the same process) holding the lock of `work` as
    descriptor 9, which every program of the rehearsal inherits. A watchdog of its own
    session holds it too: when the command dies without saying it is done (a "done" on
    descriptor 8, SIGKILL gives none), it ends and removes what the rehearsal left, and
    only then lets the lock go, so that no second rehearsal starts beside any of it."""
    lock = hold(os.path.join(work, "lock"))
    if lock is None:
        raise Refused("another rehearsal is running in %s; nothing done" % work)
    done, said = os.pipe()
    run = os.getpid()
    if os.fork() == 0:
        try:
            os.setsid()
            os.close(said)
            null = os.open(os.devnull, os.O_RDWR)
            for fd in (0, 1, 2):
                os.dup2(null, fd)
            # The write end closes when try-medium ends, however it ends.
            heard = b""
            while True:
                select.select([done], [], [])
                part = os.read(done, 64)
                if not part:
                    break
                heard += part
            if heard != b"done":
                end_rehearsal(work, run, keep == "yes", lock)
        finally:
            os._exit(0)
    os.close(done)
    os.dup2(lock, 9)
    os.dup2(said, 8)
    os.close(lock)
    os.close(said)
    os.environ["TRY_MEDIUM_LOCKED"] = str(run)
    os.execvp(command[0], command)
def resolve(path):
    """`path` resolved physically as far as it exists: (the existing folder, the parts
    below it that do not exist yet). A ".." below a missing part is refused: no folder
    gives it a meaning yet, and taken as text it could lead anywhere."""
    current = "/" if path.startswith("/") else os.getcwd()
    missing = []
    for part in path.split("/"):
        if part in ("", "."):
            continue
        if missing:
            if part == "..":
                raise Refused("'..' follows %s, which does not exist"
                              % os.path.join(current, *missing))
            missing.append(part)
        elif os.path.lexists(os.path.join(current, part)):
            current = os.path.realpath(os.path.join(current, part))
            if not os.path.isdir(current):
                raise Refused("%s is not a folder" % current)
        else:
            missing.append(part)
    return current, missing


def inside(folder, top):
    """Whether the existing, physically resolved `folder` is `top` or lies below it, told by
    device and inode, so that neither a link nor a second name of a folder hides it."""
    target = os.stat(top)
    while True:
        info = os.stat(folder)
        if (info.st_dev, info.st_ino) == (target.st_dev, target.st_ino):
            return True
        parent = os.path.dirname(folder)
        if parent == folder:
            return False
        folder = parent


def write_zip(laid_out, image):
    """The laid-out medium as a ZIP archive; names outside ASCII in UTF-8 with the flag that
    says so (general-purpose bit 11), which zipfile sets for them."""
    with zipfile.ZipFile(image, "x", zipfile.ZIP_DEFLATED) as archive:
        for path, info in entries(laid_out):
            full = os.path.join(laid_out, path)
            if stat.S_ISDIR(info.st_mode):
                archive.write(full, path)
                continue
            with open_regular(full) as reader:
                record = zipfile.ZipInfo.from_file(full, path)
                record.compress_type = zipfile.ZIP_DEFLATED
                with archive.open(record, "w") as writer:
                    shutil.copyfileobj(reader, writer)


def _number(data):
    return int.from_bytes(data, "little")


def joliet(image):
    """The Joliet tree of an ISO 9660 image read from its records, as Windows reads it: a
    map from each folder's first block to its records (kind "d" or "-", size, block, flags,
    name) in the order written, "." and ".." left out; and the root folder's block."""
    with open_regular(image) as reader:
        def blocks(first, size):
            reader.seek(first * SECTOR)
            data = reader.read(size)
            if len(data) < size:
                raise Refused("%s ends inside block %d" % (image, first))
            return data

        number = 16
        while True:
            descriptor = blocks(number, SECTOR)
            if descriptor[1:6] != b"CD001" or descriptor[0] == 255:
                raise Refused("%s holds no Joliet tree" % image)
            if descriptor[0] == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
                break
            number += 1
        root = _number(descriptor[158:162])
        folders = {}
        pending = [(root, _number(descriptor[166:170]), "")]
        while pending:
            first, size, where = pending.pop(0)
            if first in folders:
                raise Refused("%s: the folder %s is also another one (a loop)" % (image, where))
            folders[first] = records = []
            data = blocks(first, size)
            offset = 0
            while offset < size:
                length = data[offset]
                if length == 0:  # records do not cross a block's end
                    offset = (offset // SECTOR + 1) * SECTOR
                    continue
                record = data[offset:offset + length]
                offset += length
                if length < 34 or 33 + record[32] > length:
                    raise Refused("%s: a broken record in the folder %s" % (image, where))
                raw = record[33:33 + record[32]]
                if raw in (b"\0", b"\1"):
                    continue
                flags = record[25]
                if len(raw) % 2:
                    raise Refused("%s: a name of an odd length in the folder %s" % (image, where))
                name = raw.decode("utf-16-be", "surrogatepass")
                if flags & 0x80 or record[26] or record[27]:
                    raise Refused("%s: %s%s is written in parts" % (image, where, name))
                if flags & 0x02:
                    block = _number(record[2:6])
                    pending.append((block, _number(record[10:14]), where + name + "/"))
                    records.append(("d", _number(record[10:14]), block, flags, name))
                else:
                    records.append(("-", _number(record[10:14]), _number(record[2:6]), flags,
                                    re.sub(r";[0-9]*$", "", name)))
    return folders, root


def _same_name(names, where):
    """Refuses a name that one folder holds twice; names that differ in letter case alone
    are the checker's to judge (same_names), as Windows compares them."""
    seen = set()
    for name in names:
        if name in seen:
            raise Refused("%s%s: a second entry of that name" % (where, name))
        seen.add(name)


def same_names(checker, folder):
    """Refuses two entries of one folder below `folder` that Windows takes for one name:
    medium-check compares them, one character at a time through Windows' upper-case table,
    as it does for every medium it checks."""
    result = subprocess.run([checker, "--same-names", folder], stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        found = [line.replace(": error: ", ": ", 1) for line in
                 result.stdout.decode("utf-8", "replace").splitlines() if ": error: " in line]
        raise Refused("; ".join(found) or "medium-check cannot compare the names:\n" +
                      result.stdout.decode("utf-8", "replace"))


def _check_iso(image):
    folders, root = joliet(image)
    paths = {root: ""}
    for first, records in folders.items():
        where = paths[first]
        _same_name([record[4] for record in records], where)
        for kind_, _, block, _, name in records:
            if "/" in name or "\\" in name or "\0" in name or name in (".", ".."):
                raise Refused("%s%s: a name no folder can hold" % (where, name))
            if kind_ == "d":
                paths[block] = where + name + "/"


def _unpack_iso(image, target):
    _check_iso(image)
    # Joliet without Rock Ridge holds files and folders only.
    log = os.path.join(os.path.dirname(target), "unpack.log")
    with open(log, "wb") as output:
        status = subprocess.call(["xorriso", "-osirrox", "on", "-indev", image, "-read_fs",
                                  "norock", "-extract", "/", target],
                                 stdin=subprocess.DEVNULL, stdout=output, stderr=output)
    if status != 0:
        with open(log, errors="replace") as text:
            raise Refused("xorriso cannot unpack it:\n" + text.read())
    for path, info in entries(target):
        os.chmod(os.path.join(target, path), info.st_mode | stat.S_IWUSR)


# What zipfile unpacks: stored, Deflate, bzip2 and LZMA.
ZIP_METHODS = (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED, zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA)


def _unpack_zip(image, target):
    with open_regular(image) as reader, zipfile.ZipFile(reader) as archive:
        members = archive.infolist()
        files, folders = set(), set()
        for member in members:
            mode = member.external_attr >> 16
            if stat.S_IFMT(mode) and not acceptable(mode):
                raise Refused("%s: %s" % (member.filename, kind(mode)))
            parts = member.filename.rstrip("/").split("/")
            if (member.filename.startswith("/") or "\\" in member.filename or
                    "\0" in member.filename or any(p in ("", ".", "..") for p in parts)):
                raise Refused("%s: a name that leads out of the medium" % member.filename)
            if member.flag_bits & 0x1:
                raise Refused("%s: encrypted, which cannot be unpacked" % member.filename)
            if member.compress_type not in ZIP_METHODS:
                raise Refused("%s: compressed by method %d, which cannot be unpacked (only "
                              "stored, Deflate, bzip2 and LZMA)"
                              % (member.filename, member.compress_type))
            # Every folder that a name implies holds it, entry of its own or not.
            implied = ["/".join(parts[:i]) for i in range(1, len(parts))]
            path = "/".join(parts)
            if member.is_dir():
                implied.append(path)
            elif path in files:
                raise Refused("%s: a second entry of that name" % member.filename)
            else:
                files.add(path)
            folders.update(implied)
        for path in sorted(files & folders):
            raise Refused("%s: a second entry of that name, a file and a folder" % path)
        for member in members:
            path = os.path.join(target, *member.filename.rstrip("/").split("/"))
            if member.is_dir():
                os.makedirs(path, exist_ok=True)
                continue
            os.makedirs(os.path.dirname(path), exist_ok=True)
            try:
                with archive.open(member) as source, create(path) as writer:
                    shutil.copyfileobj(source, writer)
            except (zipfile.BadZipFile, zlib.error, EOFError, NotImplementedError,
                    RuntimeError, ValueError) as error:
                raise Refused("%s: cannot be unpacked: %s" % (member.filename, error)) from None


def _unpack_folder(source, target):
    refused = special(source)
    if refused:
        raise Refused("; ".join("%s: %s" % entry for entry in refused))
    copy_tree(source, target)


def _kind_of_image(path):
    """"iso" or "zip" as the file's first bytes say, else None."""
    with open_regular(path) as reader:
        start = reader.read(16 * SECTOR + 6)
    if start[:4] == b"PK\3\4":
        return "zip"
    if start[16 * SECTOR + 1:16 * SECTOR + 6] == b"CD001":
        return "iso"
    return None


def unpack(kind_, source, target, checker):
    # The name tells the kind; one that says otherwise is named for what it holds.
    found = _kind_of_image(source) if kind_ != "folder" else kind_
    if found not in (None, kind_):
        raise Refused("it holds %s, not %s: its name should end in .%s"
                      % ("a ZIP archive" if found == "zip" else "an ISO 9660 image",
                         "an ISO 9660 image" if kind_ == "iso" else "a ZIP archive", found))
    os.mkdir(target)
    try:
        {"iso": _unpack_iso, "zip": _unpack_zip, "folder": _unpack_folder}[kind_](source, target)
        refused = special(target)
        if refused:
            raise Refused("; ".join("%s: %s" % entry for entry in refused))
        same_names(checker, target)
    except (Refused, OSError, zipfile.BadZipFile, UnicodeError, ValueError) as error:
        remove(target)
        raise Refused(str(error)) from None


def main():
    try:
        if len(sys.argv) == 6 and sys.argv[1] == "unpack":
            unpack(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5])
        elif len(sys.argv) in (3, 4) and sys.argv[1] == "folder":
            existing, missing = resolve(sys.argv[2])
            if len(sys.argv) == 4 and inside(existing, os.path.realpath(sys.argv[3])):
                raise Refused("%s lies in the medium %s" % (sys.argv[2], sys.argv[3]))
            print(os.path.join(existing, *missing))
        elif len(sys.argv) == 4 and sys.argv[1] == "within":
            existing, _ = resolve(sys.argv[2])
            if not inside(existing, sys.argv[3]):
                raise Refused("%s leads out of the work folder %s" % (sys.argv[2], sys.argv[3]))
        elif len(sys.argv) in (4, 5) and sys.argv[1] == "install-dir":
            print(install_directory(sys.argv[2], sys.argv[3], sys.argv[4:] == ["copy"]))
        elif len(sys.argv) == 3 and sys.argv[1] == "work-name":
            print(rehearsal_name(sys.argv[2]))
        elif len(sys.argv) > 4 and sys.argv[1] == "rehearse":
            rehearse(sys.argv[2], sys.argv[3], sys.argv[4:])
        else:
            sys.exit("usage: medium.py unpack iso|zip|folder SOURCE DEST CHECKER | "
                     "folder PATH [MEDIUM] | within PATH TOP | install-dir DIR CHECKER [copy] | "
                     "work-name NAME | rehearse WORK yes|no COMMAND...")
    except Refused as error:
        if sys.argv[1] == "unpack":
            error = "%s: %s; not unpacked, setup not started" % (sys.argv[3], error)
        sys.stderr.write("try-medium: %s\n" % error)
        sys.exit(2)
    except Exception as error:  # whatever an input does, one line and no traceback
        sys.stderr.write("try-medium: %s: %s\n" % (" ".join(sys.argv[2:4]), error))
        sys.exit(2)


if __name__ == "__main__":
    main()

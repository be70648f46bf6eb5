"""What a run of setup left in a Wine prefix, read back as data for scripts/lib/setup-run.sh:
Windows' text files as the bytes of the code page they were written in, files found as
Windows finds them. Nothing here is judged by matching text patterns over a file, so any
install directory (C:\\vélo) reads as it was written.

    readback.py group SETUP_INI DOSDEVICES INSTALL_DIR CODEPAGE SECONDS
        the program group "Veltrane" as Wine's setup.ini holds it, waited for up to SECONDS
        until it holds its twelve shortcuts for INSTALL_DIR; each shortcut's program or help
        file looked up. Prints the group, one problem a line ("  PROBLEM: ..."); the exit
        code is the number of problems.
    readback.py local DOSDEVICES WINDOWS_PATH
        the Linux path of a file or folder of the prefix, each part found regardless of
        letter case as Windows finds it; exit 1 when there is none.
    readback.py line FILE CODEPAGE TEXT
        the first line of FILE, read in CODEPAGE, that holds TEXT regardless of letter case.
"""
import codecs
import os
import sys
import time

# The shortcuts that setup's links.inf gives the group (setup/config/linkscript.cpp).
SHORTCUTS = 12
BOMS = ((codecs.BOM_UTF8, "utf-8-sig"), (codecs.BOM_UTF16_LE, "utf-16"),
        (codecs.BOM_UTF16_BE, "utf-16"))


def read_text(path, codepage):
    """The text of a Windows file: Unicode when it starts with a byte order mark, else the
    bytes of the ANSI code page, as Windows' profile functions read it; "" when missing."""
    try:
        with open(path, "rb") as reader:
            data = reader.read()
    except FileNotFoundError:
        return ""
    for bom, encoding in BOMS:
        if data.startswith(bom):
            return data.decode(encoding, "replace")
    return data.decode("cp%d" % codepage, "replace")


def upper(text):
    """`text` in upper case one character at a time, as Windows compares names (ß stays)."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in text)


def sections(text):
    """{upper-case section name: [(key, value), ...]} of an .ini text, read as Windows'
    profile functions read it: blank lines dropped, a key ends at its first "="."""
    found = {}
    current = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            end = line.rfind("]")
            current = found.setdefault(upper(line[1:end if end > 0 else len(line)].strip()), [])
        elif line and current is not None:
            key, _, value = line.partition("=")
            current.append((key.strip(), value.strip()))
    return found


def fields(entry):
    """The comma-separated fields of a Program Manager entry, quotes removed."""
    result, field, quoted = [], "", False
    for c in entry:
        if c == '"':
            quoted = not quoted
        elif c == "," and not quoted:
            result.append(field.strip())
            field = ""
        else:
            field += c
    return result + [field.strip()]


def program_group(text):
    """(the name of group1, [(caption, command), ...]) of a setup.ini text. Wine writes each
    entry as a key with an empty value, and a lone "=" line where the INF text ended a line
    inside quotes: those have no key and are no entries."""
    found = sections(text)
    name = ""
    for key, value in found.get("PROGMAN.GROUPS", []):
        if upper(key) == "GROUP1":
            name = value.strip('"')
    entries = []
    for key, _ in found.get("GROUP1", []):
        if key:
            parts = fields(key) + ["", ""]
            entries.append((parts[0], parts[1]))
    return name, entries


def local(dosdevices, windows_path):
    """The Linux path of `windows_path` (X:\\...) in the prefix, or None."""
    if len(windows_path) < 2 or windows_path[1] != ":":
        return None
    path = os.path.join(dosdevices, windows_path[0].lower() + ":")
    for part in windows_path[2:].split("\\"):
        if part in ("", "."):
            continue
        try:
            names = [os.fsdecode(name) for name in os.listdir(os.fsencode(path))]
        except OSError:
            return None
        if part not in names:
            same = [name for name in names if upper(name) == upper(part)]
            if not same:
                return None
            part = same[0]
        path = os.path.join(path, part)
    return path if os.path.exists(path) else None


def judge_group(setup_ini, dosdevices, install_dir, codepage, seconds):
    """Prints the group and its problems; returns how many there are."""
    prefix = upper(install_dir.rstrip("\\") + "\\")
    deadline = time.monotonic() + seconds
    while True:
        name, entries = program_group(read_text(setup_ini, codepage))
        whole = len(entries) >= SHORTCUTS and all(upper(command).startswith(prefix)
                                                  for _, command in entries)
        if whole or time.monotonic() >= deadline:
            break
        time.sleep(0.2)
    problems = []
    print('Program group "%s" (from C:\\windows\\setup.ini, code page %d):' % (name, codepage))
    if name != "Veltrane":
        problems.append('no program group "Veltrane" in setup.ini')
    if not entries:
        problems.append("the group holds no shortcuts")
    for caption, command in entries:
        print("  %-22s %s" % (caption, command))
        target = command.split(" ")[0]
        found = local(dosdevices, target)
        if not found or not os.path.isfile(found):
            problems.append('the shortcut "%s" leads to nothing: %s is not installed'
                            % (caption, target))
    for problem in problems:
        print("  PROBLEM: %s" % problem)
    return len(problems)


def first_line(path, codepage, text):
    wanted = upper(text)
    for line in read_text(path, codepage).splitlines():
        if wanted in upper(line):
            return line
    return None


def main():
    arguments = sys.argv[1:]
    try:
        if len(arguments) == 6 and arguments[0] == "group":
            sys.exit(min(judge_group(arguments[1], arguments[2], arguments[3],
                                     int(arguments[4]), float(arguments[5])), 100))
        if len(arguments) == 3 and arguments[0] == "local":
            found = local(arguments[1], arguments[2])
            if found is None:
                sys.exit(1)
            print(found)
        elif len(arguments) == 4 and arguments[0] == "line":
            found = first_line(arguments[1], int(arguments[2]), arguments[3])
            if found is not None:
                print(found)
        else:
            sys.exit("usage: readback.py group SETUP_INI DOSDEVICES INSTALL_DIR CODEPAGE "
                     "SECONDS | local DOSDEVICES WINDOWS_PATH | line FILE CODEPAGE TEXT")
    except (OSError, ValueError, LookupError) as error:
        # One problem, never a traceback: the report says what could not be read.
        print("  PROBLEM: %s cannot be read back: %s" % (" ".join(arguments[1:3]), error))
        sys.exit(1)


if __name__ == "__main__":
    main()

"""Checks a shipped program from its PE headers and import table, as read by pefile
(Debian's python3-pefile): PE32 for i386, GUI subsystem 4.0, no timestamp, and only
imports of the allowlist.

Run alone it prints what a program imports:  python3 pe_imports.py FILE.exe
"""
import sys

import pefile

MACHINE_I386 = 0x14C
MAGIC_PE32 = 0x10B
SUBSYSTEM_GUI = 2
IMPORT_DIRECTORY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]


class PeError(ValueError):
    """The file is not a whole PE file."""


class PeFile:
    """What the checks look at: machine, magic, subsystem and its version, timestamp, and
    the imports as [(dll, [name or ordinal number, ...]), ...] in file order."""

    def __init__(self, data):
        try:
            pe = pefile.PE(data=data, fast_load=True)
        except pefile.PEFormatError as error:
            raise PeError(str(error)) from None
        for section in pe.sections:
            if section.PointerToRawData + section.SizeOfRawData > len(data):
                raise PeError("truncated file: section %s ends past its end"
                              % section.Name.rstrip(b"\0").decode("ascii", "replace"))
        self.machine = pe.FILE_HEADER.Machine
        self.timestamp = pe.FILE_HEADER.TimeDateStamp
        self.magic = pe.OPTIONAL_HEADER.Magic
        self.subsystem = pe.OPTIONAL_HEADER.Subsystem
        self.subsystem_version = (pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                                  pe.OPTIONAL_HEADER.MinorSubsystemVersion)
        self.imports = []
        if self.magic != MAGIC_PE32:
            return
        pe.parse_data_directories(directories=[IMPORT_DIRECTORY])
        for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
            self.imports.append((entry.dll.decode("ascii", "replace"),
                                 [function.ordinal if function.import_by_ordinal
                                  else function.name.decode("ascii", "replace")
                                  for function in entry.imports]))
        directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[IMPORT_DIRECTORY]
        if directory.VirtualAddress and not self.imports:
            raise PeError("the import table at 0x%X cannot be read" % directory.VirtualAddress)


def load_allowlist(path):
    """{dll in upper case: set of names and ordinal numbers}"""
    allowed = {}
    current = None
    with open(path, encoding="ascii") as lines:
        for number, line in enumerate(lines, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = allowed.setdefault(line[1:-1].upper(), set())
            elif current is None:
                raise ValueError("%s:%d: function outside a [DLL] section" % (path, number))
            elif line.startswith("ordinal "):
                current.add(int(line.split()[1]))
            else:
                current.add(line)
    return allowed


def describe(function):
    return "ordinal %d" % function if isinstance(function, int) else function


def check_program(pe, allowed, needs_common_controls=False):
    """Every way the program falls short of a Windows 95 / NT 4 GUI program, as texts."""
    problems = []
    if pe.machine != MACHINE_I386:
        problems.append("machine 0x%X, not i386 (0x14C)" % pe.machine)
    if pe.magic != MAGIC_PE32:
        return problems + ["optional header magic 0x%X, not PE32 (0x10B)" % pe.magic]
    if pe.subsystem != SUBSYSTEM_GUI:
        problems.append("subsystem %d, not the Windows GUI (2)" % pe.subsystem)
    if pe.subsystem_version != (4, 0):
        problems.append("subsystem version %d.%d, not 4.0" % pe.subsystem_version)
    if pe.timestamp != 0:
        problems.append("timestamp 0x%X is set, so two builds differ" % pe.timestamp)

    for dll, functions in pe.imports:
        permitted = allowed.get(dll.upper())
        for function in functions:
            if permitted is None or function not in permitted:
                problems.append("%s!%s is not in the allowlist (not on Windows 95 and NT 4)"
                                % (dll, describe(function)))
    if needs_common_controls:
        common = [f for dll, functions in pe.imports if dll.upper() == "COMCTL32.DLL"
                  for f in functions]
        if common != [17]:
            problems.append("comctl32 must be imported by ordinal 17 alone, found [%s]"
                            % ", ".join(describe(f) for f in common))
    return problems


def main(arguments):
    for path in arguments:
        with open(path, "rb") as program:
            pe = PeFile(program.read())
        print(path)
        for dll, functions in pe.imports:
            print("  %s: %s" % (dll, " ".join(describe(f) for f in functions)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

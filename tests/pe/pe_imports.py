"""Reads the headers and the import table of a PE file and checks a shipped program:
PE32 for i386, GUI subsystem 4.0, no timestamp, and only imports of the allowlist.

Run alone it prints what a program imports:  python3 pe_imports.py FILE.exe
"""
import struct
import sys

MACHINE_I386 = 0x14C
MAGIC_PE32 = 0x10B
SUBSYSTEM_GUI = 2
ORDINAL_FLAG = 0x80000000
IMPORT_DIRECTORY = 1


class PeError(ValueError):
    """The file is not a PE file this reader understands."""


class PeFile:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeError("not a PE file (no MZ header)")
        pe = self._u32(0x3C)
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise PeError("not a PE file (no PE signature at 0x%X)" % pe)
        (self.machine, section_count, self.timestamp, _, _, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = self._u16(optional)
        self.sections = []
        for i in range(section_count):
            entry = optional + optional_size + 40 * i
            virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<IIII", self._slice(entry + 8, 16), 0)
            self.sections.append((address, max(virtual_size, raw_size), raw_offset))
        self.imports = []
        if self.magic != MAGIC_PE32:
            return
        self.os_version = (self._u16(optional + 40), self._u16(optional + 42))
        self.subsystem_version = (self._u16(optional + 48), self._u16(optional + 50))
        self.subsystem = self._u16(optional + 68)
        directory_count = self._u32(optional + 92)
        if directory_count > IMPORT_DIRECTORY:
            import_rva = self._u32(optional + 96 + 8 * IMPORT_DIRECTORY)
            if import_rva:
                self.imports = self._read_imports(import_rva)

    def _slice(self, offset, size):
        if offset < 0 or offset + size > len(self.data):
            raise PeError("truncated file: %d bytes at 0x%X" % (size, offset))
        return self.data[offset:offset + size]

    def _u16(self, offset):
        return struct.unpack("<H", self._slice(offset, 2))[0]

    def _u32(self, offset):
        return struct.unpack("<I", self._slice(offset, 4))[0]

    def _offset(self, rva):
        for address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return raw_offset + rva - address
        raise PeError("address 0x%X lies in no section" % rva)

    def _text(self, rva):
        start = self._offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError("unterminated name at 0x%X" % rva)
        return self.data[start:end].decode("ascii", "replace")

    def _read_imports(self, rva):
        """[(dll, [name or ordinal number, ...]), ...] in file order."""
        imports = []
        descriptor = self._offset(rva)
        while True:
            lookup, _, _, name_rva, address_table = struct.unpack_from(
                "<IIIII", self._slice(descriptor, 20), 0)
            if not (lookup or name_rva or address_table):
                return imports
            dll = self._text(name_rva)
            thunk = self._offset(lookup or address_table)
            functions = []
            while True:
                entry = self._u32(thunk)
                if entry == 0:
                    break
                if entry & ORDINAL_FLAG:
                    functions.append(entry & 0xFFFF)
                else:
                    functions.append(self._text(entry + 2))  # after the hint
                thunk += 4
            imports.append((dll, functions))
            descriptor += 20


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

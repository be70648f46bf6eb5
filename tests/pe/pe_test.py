"""The shipped i686 programs load on Windows 95 and NT 4: PE32 for i386, GUI subsystem
4.0, and nothing imported beyond what both systems export.

    python3 pe_test.py setup.exe setup-copy.exe brindle.exe

The checker itself is tried on small PE files made here, one fault at a time.
"""
import os
import struct
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_imports  # noqa: E402

ALLOWLIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "allowed_imports.txt")
PROGRAMS = []  # set from the command line


def make_pe(imports, machine=0x14C, magic=0x10B, subsystem=2, subsystem_version=(4, 0),
            timestamp=0):
    """A minimal PE file: headers and one section holding the import table.
    `imports` is [(dll, [name or ordinal, ...]), ...]."""
    section_rva, section_offset, optional_size = 0x1000, 0x200, 224

    # Import section: descriptors, then each DLL's lookup table, then names.
    descriptors_size = 20 * (len(imports) + 1)
    tables_size = sum(4 * (len(functions) + 1) for _, functions in imports)
    names = bytearray()
    name_rvas = []

    def add_name(text, hint):
        rva = section_rva + descriptors_size + tables_size + len(names)
        if hint:
            names.extend(b"\0\0")
        names.extend(text.encode("ascii") + b"\0")
        if len(names) % 2:
            names.append(0)
        return rva

    tables = bytearray()
    descriptors = bytearray()
    for dll, functions in imports:
        table_rva = section_rva + descriptors_size + len(tables)
        for function in functions:
            if isinstance(function, int):
                tables.extend(struct.pack("<I", 0x80000000 | function))
            else:
                tables.extend(struct.pack("<I", add_name(function, True)))
        tables.extend(b"\0\0\0\0")
        name_rvas.append((table_rva, add_name(dll, False)))
    for table_rva, dll_rva in name_rvas:
        descriptors.extend(struct.pack("<IIIII", table_rva, 0, 0, dll_rva, table_rva))
    descriptors.extend(bytes(20))
    section = bytes(descriptors + tables + names)
    section += bytes(-len(section) % 0x200)

    optional = bytearray(optional_size)
    struct.pack_into("<H", optional, 0, magic)
    struct.pack_into("<HH", optional, 40, 4, 0)
    struct.pack_into("<HH", optional, 48, *subsystem_version)
    struct.pack_into("<H", optional, 68, subsystem)
    struct.pack_into("<I", optional, 92, 16)
    struct.pack_into("<II", optional, 96 + 8, section_rva, len(descriptors))

    header = bytearray(0x40)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header += b"PE\0\0" + struct.pack("<HHIIIHH", machine, 1, timestamp, 0, 0, optional_size,
                                      0x0102)
    header += optional
    header += b".idata\0\0" + struct.pack("<IIIIIIHHI", len(section), section_rva,
                                          len(section), section_offset, 0, 0, 0, 0,
                                          0xC0000040)
    header += bytes(section_offset - len(header))
    return bytes(header) + section


SOUND_IMPORTS = [("KERNEL32.dll", ["WinExec", "GetCommandLineA"]),
                 ("USER32.dll", ["CreateWindowExA"]),
                 ("COMCTL32.dll", [17])]


class CheckerTest(unittest.TestCase):
    """Each fault alone must be reported, naming what is wrong."""

    @classmethod
    def setUpClass(cls):
        cls.allowed = pe_imports.load_allowlist(ALLOWLIST)

    def problems(self, imports=SOUND_IMPORTS, **headers):
        pe = pe_imports.PeFile(make_pe(imports, **headers))
        return pe_imports.check_program(pe, self.allowed, needs_common_controls=True)

    def test_sound_program_passes_and_reads_back(self):
        pe = pe_imports.PeFile(make_pe(SOUND_IMPORTS))
        self.assertEqual(SOUND_IMPORTS, pe.imports)
        self.assertEqual([], self.problems())

    def test_dll_names_match_in_any_case(self):
        imports = [("kernel32.DLL", ["WinExec"]), ("comctl32.dll", [17])]
        self.assertEqual([], self.problems(imports))

    def test_each_fault_is_named(self):
        cases = [
            ("newer kernel32 function", [("KERNEL32.dll", ["GetTickCount64"])] + SOUND_IMPORTS,
             {}, "KERNEL32.dll!GetTickCount64"),
            ("wide variant of an allowed function",
             [("USER32.dll", ["CreateWindowExW"])] + SOUND_IMPORTS, {},
             "USER32.dll!CreateWindowExW"),
            ("a DLL not on the list", [("ADVAPI32.dll", ["RegOpenKeyExA"])] + SOUND_IMPORTS,
             {}, "ADVAPI32.dll!RegOpenKeyExA"),
            ("a C runtime DLL, which the first Windows 95 lacks",
             [("msvcrt.dll", ["_vsnprintf"])] + SOUND_IMPORTS, {}, "msvcrt.dll!_vsnprintf"),
            ("kernel32 by ordinal", [("KERNEL32.dll", [5])] + SOUND_IMPORTS, {},
             "KERNEL32.dll!ordinal 5"),
            ("common controls by name", [("COMCTL32.dll", ["InitCommonControls"])], {},
             "COMCTL32.dll!InitCommonControls"),
            ("common controls by another ordinal", [("COMCTL32.dll", [345])], {},
             "ordinal 345"),
            ("no common controls at all", [("KERNEL32.dll", ["WinExec"])], {},
             "comctl32 must be imported by ordinal 17 alone, found []"),
            ("x86_64 machine", SOUND_IMPORTS, {"machine": 0x8664}, "machine 0x8664"),
            ("PE32+ header", SOUND_IMPORTS, {"magic": 0x20B}, "magic 0x20B"),
            ("console subsystem", SOUND_IMPORTS, {"subsystem": 3}, "subsystem 3"),
            ("subsystem version 5.1", SOUND_IMPORTS, {"subsystem_version": (5, 1)},
             "subsystem version 5.1"),
            ("subsystem version 4.10", SOUND_IMPORTS, {"subsystem_version": (4, 10)},
             "subsystem version 4.10"),
            ("timestamp", SOUND_IMPORTS, {"timestamp": 0x5F000000}, "timestamp 0x5F000000"),
        ]
        for what, imports, headers, expected in cases:
            with self.subTest(what):
                problems = self.problems(imports, **headers)
                self.assertTrue(any(expected in p for p in problems),
                                "expected %r among %r" % (expected, problems))

    def test_damaged_files_are_refused(self):
        whole = make_pe(SOUND_IMPORTS)
        cases = [("empty", b""), ("no MZ", b"ZM" + whole[2:]),
                 ("header cut", whole[:0x60]), ("import section cut", whole[:0x210])]
        for what, data in cases:
            with self.subTest(what):
                with self.assertRaises(pe_imports.PeError):
                    pe_imports.PeFile(data)


class ShippedProgramsTest(unittest.TestCase):
    def test_programs_load_on_windows_95_and_nt_4(self):
        self.assertTrue(PROGRAMS, "no programs given on the command line")
        allowed = pe_imports.load_allowlist(ALLOWLIST)
        for path in PROGRAMS:
            name = os.path.basename(path)
            with self.subTest(name):
                with open(path, "rb") as program:
                    pe = pe_imports.PeFile(program.read())
                self.assertTrue(pe.imports, "%s imports nothing" % name)
                problems = pe_imports.check_program(
                    pe, allowed, needs_common_controls=name.startswith("setup"))
                self.assertEqual([], problems, "%s:\n  %s" % (name, "\n  ".join(problems)))


if __name__ == "__main__":
    PROGRAMS.extend(sys.argv[1:])
    unittest.main(argv=sys.argv[:1], verbosity=2)

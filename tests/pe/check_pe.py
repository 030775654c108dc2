#!/usr/bin/python3
"""Checks a built voltrima.dll: its machine, entry point and relocations,
its one export, the DLLs it imports, and every field of its version
resource; and, if given, that a host program linked through the import
library finds DllSscanf in it.

    check_pe.py --machine i386 build/mingw32/voltrima.dll
    check_pe.py --machine x86-64 build/mingw64/voltrima.dll
    check_pe.py --machine i386 --host scan_line.exe voltrima.dll

Prints every fault found and exits with 1 when there is any. Needs pefile
(Debian's python3-pefile, importable from the system's own Python 3).
"""
import argparse
import sys

import pefile

MACHINES = {
    # name: (COFF machine, optional-header magic)
    "i386": (0x014C, 0x10B),     # PE32
    "x86-64": (0x8664, 0x20B),   # PE32+
}

MODULE_NAME = b"voltrima.dll"
EXPORT_NAME = b"DllSscanf"
EXPORT_ORDINAL = 1
# The system's own DLLs; the compiler's run-time libraries are linked in.
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}

VERSION_RESOURCE_ID = 1
FIXED_FILE_INFO = {
    "Signature": 0xFEEF04BD,
    "FileVersionMS": 0x00010000,      # 1.0
    "FileVersionLS": 0x00000001,      # .0.1
    "ProductVersionMS": 0x00010000,
    "ProductVersionLS": 0x00000001,
    "FileFlagsMask": 0,
    "FileFlags": 0,
    "FileOS": 0,
    "FileType": 0,
    "FileSubtype": 0,
    "FileDateMS": 0,
    "FileDateLS": 0,
}
STRING_TABLE = "040904E4"
STRINGS = {
    "FileDescription": "Extended Morvale functions",
    "FileVersion": "1.01",
    "InternalName": "VOLTRIMA.DLL",
    "OriginalFilename": "VOLTRIMA.DLL",
}
# Present with values of our own choosing.
FREE_STRINGS = {"CompanyName", "LegalCopyright"}
TRANSLATION = "0x0409 0x04e4"


def check_machine(pe, machine):
    coff, magic = MACHINES[machine]
    faults = []
    if pe.FILE_HEADER.Machine != coff:
        faults.append(f"machine 0x{pe.FILE_HEADER.Machine:04X}, expected 0x{coff:04X}")
    if pe.OPTIONAL_HEADER.Magic != magic:
        faults.append(f"optional header magic 0x{pe.OPTIONAL_HEADER.Magic:03X}, expected 0x{magic:03X}")
    if not pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]:
        faults.append("not marked as a DLL")
    # The entry point runs the run-time start-up and then the library's
    # notification handler; without it neither runs.
    if not is_code(pe, pe.OPTIONAL_HEADER.AddressOfEntryPoint):
        faults.append("no entry point in the code")
    # Base relocations let the loader map the library at any address.
    relocations = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    if relocations.Size == 0:
        faults.append("no base relocations")
    return faults


def check_export(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        return ["no export table"]
    table = pe.DIRECTORY_ENTRY_EXPORT
    faults = []
    module = pe.get_string_at_rva(table.struct.Name)
    if module != MODULE_NAME:
        faults.append(f"export table names the module {module!r}, expected {MODULE_NAME!r}")
    if table.struct.NumberOfFunctions != 1 or table.struct.NumberOfNames != 1:
        faults.append(f"{table.struct.NumberOfFunctions} functions and "
                      f"{table.struct.NumberOfNames} names exported, expected 1 and 1")
    symbols = [(s.name, s.ordinal, s.forwarder, s.address) for s in table.symbols]
    if len(symbols) != 1:
        faults.append(f"exports {symbols}, expected {EXPORT_NAME!r} alone")
    for name, ordinal, forwarder, address in symbols:
        if name != EXPORT_NAME:
            faults.append(f"exports {name!r}, expected {EXPORT_NAME!r}")
        if ordinal != EXPORT_ORDINAL:
            faults.append(f"{name!r} at ordinal {ordinal}, expected {EXPORT_ORDINAL}")
        if forwarder is not None or not is_code(pe, address):
            faults.append(f"{name!r} does not lead to code in the file")
    return faults


def is_code(pe, rva):
    section = pe.get_section_by_rva(rva)
    return section is not None and bool(
        section.Characteristics & pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"])


def check_imports(pe):
    faults = []
    imported = {entry.dll.decode("ascii", "replace") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    if {name.lower() for name in imported} != ALLOWED_IMPORTS:
        faults.append(f"imports {sorted(imported)}, expected KERNEL32.dll and msvcrt.dll only")
    for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        faults.append(f"delay-loads {entry.dll!r}")
    return faults


def version_resource_ids(pe):
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    ids = []
    for kind in root.entries if root else []:
        if kind.id == pefile.RESOURCE_TYPE["RT_VERSION"]:
            ids.extend(entry.id if entry.name is None else str(entry.name)
                       for entry in kind.directory.entries)
    return ids


def check_version(pe):
    faults = []
    ids = version_resource_ids(pe)
    if ids != [VERSION_RESOURCE_ID]:
        return [f"version resources {ids}, expected one with ID {VERSION_RESOURCE_ID}"]
    if not getattr(pe, "VS_FIXEDFILEINFO", None):
        return ["the version resource has no fixed file information"]
    fixed = pe.VS_FIXEDFILEINFO[0]
    for field, want in FIXED_FILE_INFO.items():
        got = getattr(fixed, field)
        if got != want:
            faults.append(f"{field} 0x{got:08X}, expected 0x{want:08X}")

    tables, translations = [], []
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            tables.append((table.LangID.decode(), decode(table.entries)))
        for var in getattr(info, "Var", []):
            translations.append(decode(var.entry))
    if [lang for lang, _ in tables] != [STRING_TABLE]:
        faults.append(f"string tables {[lang for lang, _ in tables]}, expected [{STRING_TABLE!r}]")
    for _, entries in tables:
        keys = set(entries)
        if keys != set(STRINGS) | FREE_STRINGS:
            faults.append(f"string entries {sorted(keys)}, expected {sorted(set(STRINGS) | FREE_STRINGS)}")
        for key, want in STRINGS.items():
            if key in entries and entries[key] != want:
                faults.append(f"{key} {entries[key]!r}, expected {want!r}")
        for key in FREE_STRINGS & keys:
            if not entries[key].strip():
                faults.append(f"{key} is empty")
    if translations != [{"Translation": TRANSLATION}]:
        faults.append(f"variable entries {translations}, expected Translation {TRANSLATION}")
    return faults


def decode(entries):
    return {
        (k.decode("utf-8", "replace") if isinstance(k, bytes) else k):
        (v.decode("utf-8", "replace") if isinstance(v, bytes) else v)
        for k, v in entries.items()
    }


def check_host(path):
    """Faults of a host program linked through the import library: it must
    import DllSscanf by name from voltrima.dll."""
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        return [f"not a readable PE file: {error}"]
    found = [(entry.dll, [(i.name, i.ordinal if i.import_by_ordinal else None) for i in entry.imports])
             for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
             if entry.dll.lower() == MODULE_NAME]
    if found != [(MODULE_NAME, [(EXPORT_NAME, None)])]:
        return [f"host imports {found} from {MODULE_NAME!r}, expected {EXPORT_NAME!r} by name"]
    return []


def check_file(path, machine):
    """Every fault found in the file at `path`, as one line each."""
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as error:
        return [f"not a readable PE file: {error}"]
    return (check_machine(pe, machine) + check_export(pe) + check_imports(pe)
            + check_version(pe))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--host", help="a host program linked through the import library")
    parser.add_argument("dll")
    args = parser.parse_args()
    faults = [f"{args.dll}: {fault}" for fault in check_file(args.dll, args.machine)]
    if args.host:
        faults += [f"{args.host}: {fault}" for fault in check_host(args.host)]
    for fault in faults:
        print(fault)
    if not faults:
        print(f"{args.dll}: {args.machine} DLL, exports {EXPORT_NAME.decode()} @{EXPORT_ORDINAL}, "
              f"imports system DLLs only, version resource as expected")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Proves that check_pe.py catches faults: the real DLL passes, and each copy
of it with one fault planted (a wrong machine, a renamed export, a foreign
import, a changed version field, ...) is rejected for that fault.

    check_pe_test.py --machine i386 --host scan_line.exe build/mingw32/voltrima.dll
"""
import argparse
import os
import sys
import tempfile
import unittest

import pefile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe  # noqa: E402

DLL = None
MACHINE = None
HOST = None


def utf16(text):
    return text.encode("utf-16-le")


def replace_bytes(old, new):
    """A fault planted by rewriting bytes of the file, same length."""
    assert len(old) == len(new)

    def plant(data):
        assert data.count(old) == 1, f"{old!r} found {data.count(old)} times"
        return data.replace(old, new)
    return plant


def set_field(find, field, value):
    """A fault planted by changing one header field that pefile parses."""
    def plant(data):
        pe = pefile.PE(data=data)
        setattr(find(pe), field, value)
        return bytes(pe.write())
    return plant


def rename_host_import(find_offset):
    """A fault planted in a host program: the last letter of a name in its
    import from voltrima.dll changed."""
    def plant(data):
        pe = pefile.PE(data=data)
        entry = next(e for e in pe.DIRECTORY_ENTRY_IMPORT if e.dll.lower() == b"voltrima.dll")
        offset = find_offset(entry, pe)
        name = pe.get_string_at_rva(pe.get_rva_from_offset(offset))
        patched = bytearray(data)
        patched[offset + len(name) - 1] ^= 0x20
        return bytes(patched)
    return plant


def fixed_info(pe):
    return pe.VS_FIXEDFILEINFO[0]


def version_entry(pe):
    kind = next(k for k in pe.DIRECTORY_ENTRY_RESOURCE.entries
                if k.id == pefile.RESOURCE_TYPE["RT_VERSION"])
    return kind.directory.entries[0].struct


# Each row: what is wrong, how to plant it, and words of the fault reported.
FAULTS = [
    ("machine", set_field(lambda pe: pe.FILE_HEADER, "Machine", 0x01C0), "machine 0x01C0"),
    ("not a DLL", set_field(lambda pe: pe.FILE_HEADER, "Characteristics", 0x0102), "not marked as a DLL"),
    ("no entry point", set_field(lambda pe: pe.OPTIONAL_HEADER, "AddressOfEntryPoint", 0), "no entry point"),
    ("no relocations", set_field(lambda pe: pe.OPTIONAL_HEADER.DATA_DIRECTORY[5], "Size", 0), "no base relocations"),
    ("export renamed", replace_bytes(b"DllSscanf\0", b"DllSscanF\0"), "exports b'DllSscanF'"),
    ("export ordinal", set_field(lambda pe: pe.DIRECTORY_ENTRY_EXPORT.struct, "Base", 2), "at ordinal 2"),
    ("module name", replace_bytes(b"voltrima.dll\0", b"voltrimx.dll\0"), "names the module b'voltrimx.dll'"),
    ("foreign import", replace_bytes(b"msvcrt.dll\0", b"msvcpt.dll\0"), "imports ["),
    ("version resource ID", set_field(version_entry, "Name", 2), "version resources [2]"),
    ("file version", set_field(fixed_info, "FileVersionLS", 2), "FileVersionLS 0x00000002"),
    ("product version", set_field(fixed_info, "ProductVersionMS", 0x00020000), "ProductVersionMS"),
    ("file flags", set_field(fixed_info, "FileFlags", 1), "FileFlags 0x00000001"),
    ("file flags mask", set_field(fixed_info, "FileFlagsMask", 0x3F), "FileFlagsMask"),
    ("operating system", set_field(fixed_info, "FileOS", 4), "FileOS"),
    ("file type", set_field(fixed_info, "FileType", 2), "FileType"),
    ("file subtype", set_field(fixed_info, "FileSubtype", 1), "FileSubtype"),
    ("file date", set_field(fixed_info, "FileDateLS", 1), "FileDateLS"),
    ("string table language", replace_bytes(utf16("040904E4"), utf16("040904B0")), "string tables ['040904B0']"),
    ("description", replace_bytes(utf16("Extended Morvale"), utf16("Extended Morvala")), "FileDescription"),
    ("file version text", replace_bytes(utf16("1.01\0"), utf16("1.02\0")), "FileVersion '1.02'"),
    ("internal name", replace_bytes(utf16("InternalName\0VOLTRIMA.DLL"), utf16("InternalName\0VOLTRIMA.DLX")),
     "InternalName 'VOLTRIMA.DLX'"),
    ("original file name", replace_bytes(utf16("OriginalFilename\0VOLTRIMA.DLL"),
                                         utf16("OriginalFilename\0voltrima.dll")), "OriginalFilename"),
    ("product name entry", replace_bytes(utf16("CompanyName"), utf16("ProductName")), "string entries"),
    ("translation", replace_bytes(utf16("Translation\0") + b"\0\0" + b"\x09\x04\xe4\x04",
                                  utf16("Translation\0") + b"\0\0" + b"\x09\x04\xb0\x04"),
     "Translation"),
]


def check_host_of(data):
    with tempfile.NamedTemporaryFile(suffix=".exe", delete=False) as f:
        f.write(data)
    try:
        return check_pe.check_host(f.name)
    finally:
        os.unlink(f.name)


class CheckPeTest(unittest.TestCase):
    def setUp(self):
        with open(DLL, "rb") as f:
            self.data = f.read()

    def faults_of(self, data):
        with tempfile.NamedTemporaryFile(suffix=".dll", delete=False) as f:
            f.write(data)
        try:
            return check_pe.check_file(f.name, MACHINE)
        finally:
            os.unlink(f.name)

    def test_the_built_dll_passes(self):
        self.assertEqual(self.faults_of(self.data), [])

    def test_each_planted_fault_is_reported(self):
        for what, plant, words in FAULTS:
            with self.subTest(what):
                faults = self.faults_of(plant(self.data))
                self.assertTrue(any(words in fault for fault in faults),
                                f"expected a fault with {words!r}, got {faults}")

    def test_a_host_linked_through_the_import_library_is_checked(self):
        if HOST is None:
            self.skipTest("no host program given")
        with open(HOST, "rb") as f:
            host = f.read()
        self.assertEqual(check_host_of(host), [])
        for what, plant in [
            ("imports another name", rename_host_import(lambda entry, pe: entry.imports[0].name_offset)),
            ("imports from another module",
             rename_host_import(lambda entry, pe: pe.get_offset_from_rva(entry.struct.Name))),
        ]:
            with self.subTest(what):
                self.assertNotEqual(check_host_of(plant(host)), [])

    def test_a_file_that_is_no_pe_file_is_rejected(self):
        self.assertNotEqual(self.faults_of(b"MZ" + b"\0" * 62), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--machine", choices=sorted(check_pe.MACHINES), required=True)
    parser.add_argument("--host")
    parser.add_argument("dll")
    args, rest = parser.parse_known_args()
    DLL, MACHINE, HOST = args.dll, args.machine, args.host
    unittest.main(argv=[sys.argv[0]] + rest)

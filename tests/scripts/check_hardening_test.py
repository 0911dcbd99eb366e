#!/usr/bin/env python3
"""scripts/check-hardening against programs that lack one property each:
copies of a hardened program with one defence taken out, and a program that
imports a function Windows forwards outside the Known DLLs. The hardened
program must pass, and every copy must be refused with that property named.

  check_hardening_test.py HARDENED FORWARDED_IMPORTER
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(ROOT, "scripts", "check-hardening")

DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x0040, 0x0100, 0x0400
SECTION_EXECUTE, SECTION_WRITE = 0x20000000, 0x80000000


class Headers:
    def __init__(self, data):
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        self.optional = self.pe + 24
        self.is_64 = struct.unpack_from("<H", data, self.optional)[0] == 0x20B
        self.directories = self.optional + (112 if self.is_64 else 96)
        sections, optional_size = struct.unpack_from("<H12xH", data, self.pe + 6)
        self.sections = [self.optional + optional_size + 40 * index for index in range(sections)]

    def directory(self, data, index):
        return struct.unpack_from("<II", data, self.directories + 8 * index)

    def file_offset(self, data, address):
        for section in self.sections:
            virtual_size, start, raw_size, raw_offset = struct.unpack_from("<IIII", data, section + 8)
            if start <= address < start + max(virtual_size, raw_size):
                return raw_offset + address - start
        raise ValueError("address outside the sections")


def clear_flag(flag):
    def change(data, headers):
        offset = headers.optional + 70
        struct.pack_into("<H", data, offset, struct.unpack_from("<H", data, offset)[0] & ~flag)
    return change


def strip_relocations(data, headers):
    struct.pack_into("<II", data, headers.directories + 8 * 5, 0, 0)


def writable_code(data, headers):
    for section in headers.sections:
        flags = struct.unpack_from("<I", data, section + 36)[0]
        if flags & SECTION_EXECUTE:
            struct.pack_into("<I", data, section + 36, flags | SECTION_WRITE)
            return


def no_dependent_load_flags(data, headers):
    address, _ = headers.directory(data, 10)
    struct.pack_into("<H", data, headers.file_offset(data, address) + (78 if headers.is_64 else 54), 0)


def run_check(path):
    return subprocess.run([sys.executable, CHECK, path], capture_output=True, text=True)


def main(hardened, forwarded_importer):
    failures = []
    result = run_check(hardened)
    if result.returncode != 0:
        failures.append(f"the hardened program is refused: {result.stdout.strip()}")
    with open(hardened, "rb") as source:
        original = source.read()
    headers = Headers(original)
    copies = [
        ("DYNAMIC_BASE", clear_flag(DYNAMIC_BASE)),
        ("NX_COMPAT", clear_flag(NX_COMPAT)),
        ("relocations", strip_relocations),
        ("no writable and executable section", writable_code),
        ("a load configuration", no_dependent_load_flags),
    ]
    if not headers.is_64:
        copies.append(("NO_SEH", clear_flag(NO_SEH)))
    with tempfile.TemporaryDirectory() as scratch:
        for named, change in copies:
            data = bytearray(original)
            change(data, headers)
            copy = os.path.join(scratch, "copy.exe")
            with open(copy, "wb") as target:
                target.write(data)
            result = run_check(copy)
            if result.returncode != 1 or named not in result.stdout:
                failures.append(f"a copy without {named}: {result.returncode}: {result.stdout.strip()}")
    result = run_check(forwarded_importer)
    forwarded = result.stdout.partition("forwards outside the Known DLLs (also ")[2].partition(")")[0]
    if result.returncode != 1 or "CryptAcquireContextW" not in forwarded.split(", "):
        failures.append(f"the forwarded import: {result.returncode}: {result.stdout.strip()}")
    for failure in failures:
        print(failure)
    print(f"{len(copies) + 2 - len(failures)} of {len(copies) + 2} programs judged as they should be")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))

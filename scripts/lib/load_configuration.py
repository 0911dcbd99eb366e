#!/usr/bin/env python3
"""Points a linked program's load configuration directory at its
_load_config_used structure, which the linker left unreferenced.

  load_configuration.py PROGRAM MAP

The programs define the structure (base/DllSearchOrder.cpp) to have the
loader resolve their static imports' own dependencies from the system folder;
binutils 2.40 does not fill the directory from it, as the Windows linkers do.
MAP is the linker's map of PROGRAM (-Wl,-Map=...), which gives the
structure's address. The directory gets the structure's address and size,
and the header's checksum is made anew. Run again, it changes nothing.
"""
import re
import struct
import sys

DIRECTORY_LOAD_CONFIG = 10


def structure_address(map_path):
    with open(map_path, encoding="utf-8", errors="replace") as linker_map:
        for line in linker_map:
            match = re.match(r"\s+0x([0-9a-fA-F]+)\s+_?_load_config_used\s*$", line)
            if match:
                return int(match.group(1), 16)
    raise SystemExit(f"load_configuration.py: {map_path} names no _load_config_used")


def pe_checksum(data, checksum_offset):
    """The PE header's checksum: the 16-bit one's-complement sum of the file
    with the checksum field taken as zero, plus the file's length."""
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
    total -= struct.unpack_from("<H", data, checksum_offset)[0]
    total -= struct.unpack_from("<H", data, checksum_offset + 2)[0]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main(program, map_path):
    with open(program, "rb") as image:
        data = bytearray(image.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic == 0x10B:
        image_base = struct.unpack_from("<I", data, optional + 28)[0]
        directories = optional + 96
    else:
        image_base = struct.unpack_from("<Q", data, optional + 24)[0]
        directories = optional + 112
    address = structure_address(map_path) - image_base

    size = None
    for index in range(sections):
        _, virtual_size, start, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, optional + optional_size + 40 * index)
        if start <= address < start + min(virtual_size, raw_size):
            size = struct.unpack_from("<I", data, raw_offset + address - start)[0]
    if not size:
        raise SystemExit(f"load_configuration.py: _load_config_used lies in no section of {program}")
    struct.pack_into("<II", data, directories + 8 * DIRECTORY_LOAD_CONFIG, address, size)
    checksum_offset = optional + 64
    struct.pack_into("<I", data, checksum_offset, pe_checksum(bytes(data), checksum_offset))
    with open(program, "wb") as image:
        image.write(data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2])

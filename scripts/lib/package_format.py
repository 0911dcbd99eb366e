#!/usr/bin/env python3
"""Writes and reads the patch package's payload (package/PayloadFormat.h has
the layout; this file and that header describe one format).

  package_format.py pack --program EXE --version X.Y.Z --output FILE NAME=PATH...
  package_format.py list PACKAGE
  package_format.py extract PACKAGE DIR

pack appends the named files to the package program; list prints each file's
name, method and sizes; extract writes the files into DIR, a new or empty
folder. list and extract check the whole payload's SHA-256 first, as the
package does before it writes anything. Only the standard library is used.
"""
import hashlib
import os
import struct
import sys
import tempfile
import zlib

MAGIC = b"VPKGFMT\x1a"
VERSION = 1
HEADER = struct.Struct("<8sII Q 32s Q")  # magic, version, reserved, body size, digest, reserved
ENTRY = struct.Struct("<B Q Q")  # method, stored size, extracted size (after the name)
STORED, ZLIB = 0, 1
ALIGNMENT = 8
NAMES = ("Mendora.Launcher.exe", "patch.rvx", "patch.rvx.old")
PIECE = 1 << 20
# A file whose first piece does not shrink below this share is stored whole
# without compressing the rest: a packed patch is mostly incompressible.
PROBE_RATIO = 0.95


class FormatError(Exception):
    pass


def image_bounds(path):
    """The end of the program's last section and the end of the room after
    it (the certificate table's start, or the file's end)."""
    size = os.path.getsize(path)
    with open(path, "rb") as image:
        head = image.read(4096)
        if head[:2] != b"MZ":
            raise FormatError(f"{path}: not a Windows program")
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        image.seek(pe)
        nt = image.read(24 + 240)
        if nt[:4] != b"PE\0\0":
            raise FormatError(f"{path}: not a Windows program")
        sections, optional_size = struct.unpack_from("<H12xH", nt, 6)
        magic = struct.unpack_from("<H", nt, 24)[0]
        directories = {0x10B: 24 + 96, 0x20B: 24 + 112}.get(magic)
        if directories is None:
            raise FormatError(f"{path}: unknown optional header")
        security_offset, security_size = struct.unpack_from("<II", nt, directories + 4 * 8)
        image.seek(pe + 24 + optional_size)
        table = image.read(40 * sections)
    image_end = 0
    for index in range(sections):
        raw_size, raw_pointer = struct.unpack_from("<II", table, index * 40 + 16)
        if raw_size:
            image_end = max(image_end, raw_pointer + raw_size)
    region_end = security_offset if security_size else size
    if image_end == 0 or image_end > region_end or (security_size and security_offset + security_size > size):
        raise FormatError(f"{path}: its section table or certificate table does not fit the file")
    return image_end, region_end


def file_version(path):
    """The fixed file version (major.minor.patch) of the program's version resource."""
    with open(path, "rb") as image:
        data = image.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}"


def compressed_copy(path, scratch):
    """Writes PATH's zlib stream to SCRATCH when it is smaller than PATH;
    returns its size, or None when the file is better stored."""
    size = os.path.getsize(path)
    compressor = zlib.compressobj(9)
    written = 0
    with open(path, "rb") as source:
        first = True
        while piece := source.read(PIECE):
            out = compressor.compress(piece)
            if first:
                out += compressor.flush(zlib.Z_SYNC_FLUSH)
                if len(out) >= PROBE_RATIO * len(piece):
                    return None
                first = False
            scratch.write(out)
            written += len(out)
        out = compressor.flush()
        scratch.write(out)
        written += len(out)
    return written if written < size else None


def copy_stream(source, target, count, digest=None):
    while count:
        piece = source.read(min(PIECE, count))
        if not piece:
            raise FormatError("the file ended early")
        target.write(piece)
        if digest is not None:
            digest.update(piece)
        count -= len(piece)


def pack(program, version, output, files):
    image_end, region_end = image_bounds(program)
    if os.path.getsize(program) != image_end or region_end != image_end:
        raise FormatError(f"{program}: not a bare package program (it carries data after its sections)")
    carried = file_version(program)
    if carried != version:
        raise FormatError(f"{program} carries version {carried}, not {version}")
    names = [name for name, _ in files]
    if len(set(names)) != len(names) or not set(names) <= set(NAMES) or not {"Mendora.Launcher.exe", "patch.rvx"} <= set(names):
        raise FormatError(f"files to pack: {', '.join(names)}")

    digest = hashlib.sha256()
    directory = os.path.dirname(os.path.abspath(output))
    partial = output + ".part"
    with open(partial, "wb") as package, open(program, "rb") as stub:
        copy_stream(stub, package, image_end)
        # The header's digest and size are known once the body is written.
        package.write(bytes(HEADER.size))
        for name, path in files:
            extracted = os.path.getsize(path)
            with tempfile.TemporaryFile(dir=directory) as scratch:
                stored = compressed_copy(path, scratch)
                method = ZLIB if stored is not None else STORED
                if stored is None:
                    stored = extracted
                entry = bytes([len(name)]) + name.encode("ascii") + ENTRY.pack(method, stored, extracted)
                package.write(entry)
                digest.update(entry)
                scratch.seek(0)
                with open(path, "rb") as source:
                    copy_stream(scratch if method == ZLIB else source, package, stored, digest)
        body_size = package.tell() - image_end - HEADER.size
        package.write(b"\0" * (-package.tell() % ALIGNMENT))
        package.seek(image_end)
        package.write(HEADER.pack(MAGIC, VERSION, 0, body_size, digest.digest(), 0))
    os.replace(partial, output)


def read_payload(package):
    """The entries of PACKAGE as (name, method, offset, stored, extracted),
    after checking its digest and its structure."""
    image_end, region_end = image_bounds(package)
    with open(package, "rb") as source:
        source.seek(image_end)
        header = source.read(HEADER.size)
        if len(header) != HEADER.size or region_end - image_end < HEADER.size:
            raise FormatError(f"{package} carries no payload")
        magic, version, reserved, body_size, recorded, reserved2 = HEADER.unpack(header)
        if magic != MAGIC or reserved or reserved2:
            raise FormatError(f"{package} carries no payload")
        if version != VERSION:
            raise FormatError(f"{package} has payload format {version}; this packer reads {VERSION}")
        body_offset = image_end + HEADER.size
        room = region_end - body_offset
        if body_size > room or room - body_size >= ALIGNMENT:
            raise FormatError(f"{package} is cut or damaged: its payload does not fit")
        digest = hashlib.sha256()
        left = body_size
        while left:
            piece = source.read(min(PIECE, left))
            digest.update(piece)
            left -= len(piece)
        if digest.digest() != recorded:
            raise FormatError(f"{package} is damaged: its payload does not match its SHA-256")
        entries = []
        at, end = body_offset, body_offset + body_size
        while at != end:
            source.seek(at)
            length = source.read(1)[0]
            name = source.read(length).decode("ascii", "replace")
            method, stored, extracted = ENTRY.unpack(source.read(ENTRY.size))
            at += 1 + length + ENTRY.size
            if name not in NAMES or method not in (STORED, ZLIB) or stored > end - at:
                raise FormatError(f"{package}: an entry of its payload is malformed")
            entries.append((name, method, at, stored, extracted))
            at += stored
    return entries


def list_package(package):
    for name, method, _, stored, extracted in read_payload(package):
        how = "zlib" if method == ZLIB else "stored"
        print(f"{name}\t{how}\t{stored} bytes stored\t{extracted} bytes")


def extract(package, folder):
    entries = read_payload(package)
    os.makedirs(folder, exist_ok=True)
    if os.listdir(folder):
        raise FormatError(f"{folder} is not an empty folder")
    with open(package, "rb") as source:
        for name, method, offset, stored, extracted in entries:
            source.seek(offset)
            with open(os.path.join(folder, name), "xb") as target:
                if method == STORED:
                    copy_stream(source, target, stored)
                    continue
                inflater = zlib.decompressobj()
                left = stored
                while left:
                    piece = source.read(min(PIECE, left))
                    left -= len(piece)
                    target.write(inflater.decompress(piece))
                target.write(inflater.flush())
                if not inflater.eof or target.tell() != extracted:
                    raise FormatError(f"{package}: {name} does not inflate to its size")


def main(arguments):
    try:
        if arguments[:1] == ["list"] and len(arguments) == 2:
            list_package(arguments[1])
        elif arguments[:1] == ["extract"] and len(arguments) == 3:
            extract(arguments[1], arguments[2])
        elif arguments[:1] == ["pack"] and len(arguments) >= 7:
            options = dict(zip(arguments[1:7:2], arguments[2:7:2]))
            files = [tuple(item.split("=", 1)) for item in arguments[7:]]
            pack(options["--program"], options["--version"], options["--output"], files)
        else:
            print(__doc__, file=sys.stderr)
            return 64
    except (FormatError, OSError, KeyError, zlib.error) as error:
        print(f"scripts/package: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

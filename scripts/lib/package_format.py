#!/usr/bin/env python3
"""Writes and reads the patch package's payload. package/PayloadFormat.h
describes the format, its version and what every reader refuses; this file
follows it, as the package program does.

  package_format.py pack --program EXE --version X.Y.Z --output FILE NAME=PATH...
  package_format.py list PACKAGE
  package_format.py extract PACKAGE DIR

pack appends the named files to the package program and seals their digest
into the program's seal section; list prints each file's name, method, sizes
and SHA-256; extract writes the files into DIR, a new or empty folder. list
and extract read the whole payload once and refuse a package the program
would refuse, with one line on standard error; extract then leaves nothing
in DIR. Only the standard library is used.
"""
import hashlib
import os
import struct
import sys
import tempfile
import zlib

VERSION = 2
SEAL_MAGIC = b"VPKGSEAL"
SEAL_SECTION = b".vpkg\0\0\0"
SEAL_SECTION_SIZE = 512
# magic, version, reserved, payload offset, payload size, extracted size, digest
SEAL = struct.Struct("<8sII QQQ 32s")
ENTRY = struct.Struct("<B Q Q")  # method, stored size, extracted size (after the name)
STORED, ZLIB = 0, 1
ALIGNMENT = 8
LAUNCHER, PATCH, OLD_PATCH = "Mendora.Launcher.exe", "patch.rvx", "patch.rvx.old"
NAMES = (LAUNCHER, PATCH, OLD_PATCH)
PIECE = 1 << 20
# A file whose first piece does not shrink below this share is stored whole
# without compressing the rest: a packed patch is mostly incompressible.
PROBE_RATIO = 0.95


class FormatError(Exception):
    pass


class Image:
    """What a package's PE headers say: where the image ends, where the
    room after it ends (the certificate table's start, or the file's end),
    and where the seal section's raw data lies."""

    def __init__(self, path):
        self.size = os.path.getsize(path)
        with open(path, "rb") as image:
            head = image.read(4096)
        try:
            self._parse(path, head)
        except struct.error:
            raise FormatError(f"{path}: its headers are cut short") from None

    def _parse(self, path, head):
        if head[:2] != b"MZ":
            raise FormatError(f"{path}: not a Windows program")
        pe = struct.unpack_from("<I", head, 0x3C)[0]
        if head[pe:pe + 4] != b"PE\0\0":
            raise FormatError(f"{path}: not a Windows program")
        sections, optional_size = struct.unpack_from("<H12xH", head, pe + 6)
        magic = struct.unpack_from("<H", head, pe + 24)[0]
        directories = {0x10B: 96, 0x20B: 112}.get(magic)
        if directories is None:
            raise FormatError(f"{path}: unknown optional header")
        security_offset, security_size = struct.unpack_from("<II", head, pe + 24 + directories + 4 * 8)
        table = pe + 24 + optional_size
        self.image_end = 0
        self.seal_offset = None
        for index in range(sections):
            name, virtual_size, _, raw_size, raw_pointer = struct.unpack_from("<8sIIII", head, table + index * 40)
            if raw_size:
                self.image_end = max(self.image_end, raw_pointer + raw_size)
            if name == SEAL_SECTION and virtual_size >= SEAL_SECTION_SIZE and raw_size >= SEAL_SECTION_SIZE:
                self.seal_offset = raw_pointer
        self.signed = security_size != 0
        self.room_end = security_offset if self.signed else self.size
        if self.image_end == 0 or self.image_end > self.room_end or (
                self.signed and security_offset + security_size > self.size):
            raise FormatError(f"{path}: its section table or certificate table does not fit the file")
        if self.seal_offset is None:
            raise FormatError(f"{path}: not a package program of format {VERSION} (no seal section)")


def read_seal(path, image):
    with open(path, "rb") as source:
        source.seek(image.seal_offset)
        section = source.read(SEAL_SECTION_SIZE)
    if len(section) != SEAL_SECTION_SIZE:
        raise FormatError(f"{path} is cut: its seal is not all there")
    magic, version, reserved, offset, size, extracted, digest = SEAL.unpack_from(section)
    if magic != SEAL_MAGIC:
        raise FormatError(f"{path}: not a package program (its seal has no magic)")
    if version != VERSION:
        raise FormatError(f"{path} has payload format {version}; this packer reads {VERSION}")
    if reserved or any(section[SEAL.size:]):
        raise FormatError(f"{path} is damaged: its seal carries stray bytes")
    return offset, size, extracted, digest


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


def entry_header(name, method, stored, extracted):
    encoded = name.encode("ascii")
    return bytes([len(encoded)]) + encoded + ENTRY.pack(method, stored, extracted)


def padding_for(length):
    """The zeros that bring a file of LENGTH bytes to a multiple of ALIGNMENT."""
    return b"\0" * (-length % ALIGNMENT)


def seal_bytes(image_end, payload_size, extracted_size, digest):
    return SEAL.pack(SEAL_MAGIC, VERSION, 0, image_end, payload_size, extracted_size, digest)


def bare_image(program):
    """The program's Image, after checking it is a bare package program of
    this format: nothing after its sections, no signature, a seal with only
    its magic and version."""
    image = Image(program)
    if image.size != image.image_end or image.signed:
        raise FormatError(f"{program}: not a bare package program (it carries data after its sections)")
    offset, size, extracted, digest = read_seal(program, image)
    if offset or size or extracted or any(digest):
        raise FormatError(f"{program}: not a bare package program (its seal is filled in)")
    return image


def pack(program, version, output, files):
    image = bare_image(program)
    carried = file_version(program)
    if carried != version:
        raise FormatError(f"{program} carries version {carried}, not {version}")
    names = [name for name, _ in files]
    if len(set(names)) != len(names) or not set(names) <= set(NAMES) or not {LAUNCHER, PATCH} <= set(names):
        raise FormatError(f"files to pack: {', '.join(names)}")

    digest = hashlib.sha256()
    extracted_total = 0
    directory = os.path.dirname(os.path.abspath(output))
    partial = output + ".part"
    with open(partial, "wb") as package, open(program, "rb") as stub:
        copy_stream(stub, package, image.image_end)
        for name, path in files:
            extracted = os.path.getsize(path)
            extracted_total += extracted
            with tempfile.TemporaryFile(dir=directory) as scratch:
                stored = compressed_copy(path, scratch)
                method = ZLIB if stored is not None else STORED
                if stored is None:
                    stored = extracted
                header = entry_header(name, method, stored, extracted)
                package.write(header)
                digest.update(header)
                scratch.seek(0)
                with open(path, "rb") as source:
                    copy_stream(scratch if method == ZLIB else source, package, stored, digest)
        payload_size = package.tell() - image.image_end
        package.write(padding_for(package.tell()))
        # The seal is known once the payload is written; the signature, made
        # later, covers it.
        package.seek(image.seal_offset)
        package.write(seal_bytes(image.image_end, payload_size, extracted_total, digest.digest()))
    os.replace(partial, output)


class PayloadReader:
    """The payload read once from the front, every byte hashed as it is read."""

    def __init__(self, package, source, size):
        self.package = package
        self.source = source
        self.left = size
        self.digest = hashlib.sha256()

    def read(self, count, what):
        if count > self.left:
            raise FormatError(f"{self.package}: {what} runs past the payload's end")
        data = self.source.read(count)
        if len(data) != count:
            raise FormatError(f"{self.package} is cut: the file ended early")
        self.left -= count
        self.digest.update(data)
        return data


def read_entry(reader, package, name, method, stored, extracted, target):
    """Reads one entry's stored bytes, checking them as the program does,
    into TARGET (a file, or None); returns the extracted bytes' SHA-256."""
    digest = hashlib.sha256()
    written = 0

    def emit(data):
        nonlocal written
        written += len(data)
        if written > extracted:
            raise FormatError(f"{package}: {name} inflates beyond its size")
        digest.update(data)
        if target is not None:
            target.write(data)

    left = stored
    if method == STORED:
        while left:
            piece = reader.read(min(PIECE, left), name)
            left -= len(piece)
            emit(piece)
        return digest.hexdigest()
    inflater = zlib.decompressobj()
    while left and not inflater.eof:
        piece = reader.read(min(PIECE, left), name)
        left -= len(piece)
        # Bounded output, so that a stream that inflates without end is
        # caught at its declared size.
        try:
            emit(inflater.decompress(piece, extracted - written + 1))
            while inflater.unconsumed_tail and not inflater.eof:
                emit(inflater.decompress(inflater.unconsumed_tail, extracted - written + 1))
        except zlib.error as error:
            raise FormatError(f"{package}: {name} is not a whole zlib stream ({error})") from None
    if not inflater.eof:
        raise FormatError(f"{package}: {name} ends before its zlib stream does")
    if left or inflater.unused_data or inflater.unconsumed_tail:
        raise FormatError(f"{package}: {name} carries bytes after its zlib stream")
    if written != extracted:
        raise FormatError(f"{package}: {name} does not inflate to its size")
    return digest.hexdigest()


def read_package(package, folder=None):
    """The entries of PACKAGE as (name, method, stored, extracted, sha256),
    after checking all of it as the program does; with FOLDER, the files are
    written there as they are read, and removed again if the package is
    refused."""
    image = Image(package)
    offset, size, extracted_total, sealed_digest = read_seal(package, image)
    if offset != image.image_end or size == 0:
        raise FormatError(f"{package} is damaged: its seal does not describe a payload after the program")
    end = offset + size
    if end > image.room_end:
        raise FormatError(f"{package} is cut or damaged: its payload does not fit")
    if image.room_end - end >= ALIGNMENT or image.room_end % ALIGNMENT:
        raise FormatError(f"{package} is damaged: it carries bytes after its payload")
    entries, written = [], []
    try:
        with open(package, "rb") as source:
            source.seek(end)
            if any(source.read(image.room_end - end)):
                raise FormatError(f"{package} is damaged: its padding is not zeros")
            source.seek(offset)
            reader = PayloadReader(package, source, size)
            extracted_left = extracted_total
            while reader.left:
                length = reader.read(1, "an entry's header")[0]
                raw_name = reader.read(length, "an entry's name")
                method, stored, extracted = ENTRY.unpack(reader.read(ENTRY.size, "an entry's header"))
                name = raw_name.decode("ascii", "replace")
                if name not in NAMES or any(name == entry[0] for entry in entries):
                    raise FormatError(f"{package}: an entry's name is unknown or repeated")
                if method not in (STORED, ZLIB) or (method == STORED and stored != extracted):
                    raise FormatError(f"{package}: the entry {name} has an unknown method or sizes that disagree")
                if stored > reader.left or extracted > extracted_left:
                    raise FormatError(f"{package}: the entry {name} is larger than the payload allows")
                extracted_left -= extracted
                target = None
                if folder is not None:
                    written.append(os.path.join(folder, name))
                    target = open(written[-1], "xb")
                try:
                    sha256 = read_entry(reader, package, name, method, stored, extracted, target)
                finally:
                    if target is not None:
                        target.close()
                entries.append((name, method, stored, extracted, sha256))
            if extracted_left:
                raise FormatError(f"{package}: its entries do not add up to the sealed size")
            if not {LAUNCHER, PATCH} <= {entry[0] for entry in entries}:
                raise FormatError(f"{package} carries no launcher or no patch.rvx")
            if reader.digest.digest() != sealed_digest:
                raise FormatError(f"{package} is damaged: its payload does not match its SHA-256")
    except BaseException:
        for path in written:
            if os.path.exists(path):
                os.remove(path)
        raise
    return entries


def list_package(package):
    for name, method, stored, extracted, sha256 in read_package(package):
        how = "zlib" if method == ZLIB else "stored"
        print(f"{name}\t{how}\t{stored} bytes stored\t{extracted} bytes\tSHA-256 {sha256}")


def extract(package, folder):
    os.makedirs(folder, exist_ok=True)
    if os.listdir(folder):
        raise FormatError(f"{folder} is not an empty folder")
    read_package(package, folder)


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
    except (FormatError, OSError, KeyError, ValueError, zlib.error, struct.error) as error:
        print(f"scripts/package: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

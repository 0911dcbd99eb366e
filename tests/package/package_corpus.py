#!/usr/bin/env python3
"""Patch packages for the readers and the packer to be checked against.

  package_corpus.py make --program EXE --launcher EXE --output DIR
  package_corpus.py check-reader DIR
  package_corpus.py check-packer --program EXE --launcher EXE --version X.Y.Z --cert PEM --key PEM

make writes DIR/whole.exe and one DIR/<shape>.exe for each way of being
malformed: cut at every entry boundary and inside each entry's header, one
byte changed in each region (the seal, each entry's header and bytes, the
padding), and payloads whose seal and digest are right but whose contents
are inconsistent (what only a faulty packer could write, or a file put in
place of the package's own after it started). check-reader runs
scripts/package --list on each: the whole one must be listed, every other
one refused with one line on standard error and no traceback.
check-packer packs patches of eight consecutive lengths, so that the payload
ends at every remainder of the format's alignment, signs a copy of each as a
release is signed, and lists all of them: the packer must write, signed or
not, what the reader accepts.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "scripts", "lib"))
import package_format as fmt  # noqa: E402

# Grown by a byte or more where the payload would otherwise leave less than
# two bytes of padding (make), so that a byte of it can be changed or cut.
PATCH = b"patch for the malformed packages\n"
OLD_PATCH = b"old patch, compressible: " + b"0123456789" * 40 + b"\n"


def entry(name, method, stored_bytes, extracted):
    return fmt.entry_header(name, method, len(stored_bytes), extracted) + stored_bytes


def stored(name, data):
    return entry(name, fmt.STORED, data, len(data))


def compressed(name, data):
    return entry(name, fmt.ZLIB, zlib.compress(data, 9), len(data))


def assemble(program, payload, extracted_total, image_end=None, digest=None):
    """The bare program sealed for PAYLOAD, then the payload and its padding;
    IMAGE_END and DIGEST replace what the seal would rightly say."""
    image = fmt.bare_image(program)
    with open(program, "rb") as source:
        data = bytearray(source.read())
    seal = fmt.seal_bytes(image.image_end if image_end is None else image_end, len(payload), extracted_total,
                          hashlib.sha256(payload).digest() if digest is None else digest)
    data[image.seal_offset:image.seal_offset + len(seal)] = seal
    data += payload
    data += fmt.padding_for(len(data))
    return bytes(data), image


class Layout:
    """Where the regions of the whole package lie."""

    def __init__(self, image, parts):
        self.seal = image.seal_offset
        self.entries = []  # (header start, data start, data end) per entry
        at = image.image_end
        for header_size, data_size in parts:
            self.entries.append((at, at + header_size, at + header_size + data_size))
            at += header_size + data_size
        self.payload_end = at


def make(program, launcher, output):
    with open(launcher, "rb") as source:
        launcher_bytes = source.read()
    launcher_entry = compressed(fmt.LAUNCHER, launcher_bytes)
    old_entry = compressed(fmt.OLD_PATCH, OLD_PATCH)
    # The image ends on a multiple of 8, so a payload of a length that is not
    # one leaves padding. The patch grows until there are two bytes of it at
    # least, whatever the launcher's compressed size: a cut inside the
    # padding then still leaves a byte of it out.
    patch = PATCH
    while -(len(launcher_entry) + len(stored(fmt.PATCH, patch)) + len(old_entry)) % fmt.ALIGNMENT < 2:
        patch += b"."
    pieces = [launcher_entry, stored(fmt.PATCH, patch), old_entry]
    extracted = len(launcher_bytes) + len(patch) + len(OLD_PATCH)
    payload = b"".join(pieces)
    whole, image = assemble(program, payload, extracted)
    parts = []
    for name, piece in zip((fmt.LAUNCHER, fmt.PATCH, fmt.OLD_PATCH), pieces):
        header = 1 + len(name) + fmt.ENTRY.size
        parts.append((header, len(piece) - header))
    layout = Layout(image, parts)
    assert -layout.payload_end % fmt.ALIGNMENT >= 2, "the whole package must carry two bytes of padding"

    corpus = {"whole": whole}
    # Cut at every entry boundary and inside each header and its bytes.
    for index, (header, data, end) in enumerate(layout.entries):
        corpus[f"cut-at-entry-{index}"] = whole[:header]
        corpus[f"cut-in-header-{index}"] = whole[:header + 1]
        corpus[f"cut-in-sizes-{index}"] = whole[:data - 5]
        corpus[f"cut-at-bytes-{index}"] = whole[:data]
        corpus[f"cut-in-bytes-{index}"] = whole[:(data + end) // 2]
    corpus["cut-at-payload-end"] = whole[:layout.payload_end]
    corpus["cut-in-padding"] = whole[:layout.payload_end + 1]

    def changed(at):
        data = bytearray(whole)
        data[at] ^= 0x01
        return bytes(data)

    seal = layout.seal
    # The digest's last byte too: a comparison of only its first bytes passes the first change.
    for field, offset in (("magic", 0), ("version", 8), ("reserved", 12), ("offset", 16), ("size", 24),
                          ("extracted", 32), ("digest", 40), ("digest-last-byte", 71), ("after-digest", 100)):
        corpus[f"changed-seal-{field}"] = changed(seal + offset)
    for index, (header, data, end) in enumerate(layout.entries):
        corpus[f"changed-name-{index}"] = changed(header + 1)
        corpus[f"changed-stored-size-{index}"] = changed(data - 16)
        corpus[f"changed-bytes-{index}"] = changed((data + end) // 2)
    corpus["changed-padding"] = changed(layout.payload_end)
    corpus["more-after-padding"] = whole + bytes(fmt.ALIGNMENT)

    # Sealed rightly, inconsistent inside.
    patch_entry = pieces[1]
    stream = zlib.compress(OLD_PATCH, 9)

    def sealed(payload, extracted_total, **overrides):
        return assemble(program, payload, extracted_total, **overrides)[0]

    corpus["two-entries-of-one-name"] = sealed(launcher_entry + patch_entry + patch_entry, extracted + len(patch) - len(OLD_PATCH))
    corpus["stored-sizes-differ"] = sealed(
        launcher_entry + entry(fmt.PATCH, fmt.STORED, patch, len(patch) + 1) + old_entry, extracted + 1)
    corpus["bytes-after-zlib-stream"] = sealed(
        launcher_entry + patch_entry + entry(fmt.OLD_PATCH, fmt.ZLIB, stream + b"more", len(OLD_PATCH)), extracted)
    corpus["no-launcher"] = sealed(patch_entry + old_entry, len(patch) + len(OLD_PATCH))
    corpus["no-patch"] = sealed(launcher_entry + old_entry, len(launcher_bytes) + len(OLD_PATCH))
    corpus["zlib-inflates-beyond-its-size"] = sealed(
        launcher_entry + patch_entry + entry(fmt.OLD_PATCH, fmt.ZLIB, stream, 10), extracted - len(OLD_PATCH) + 10)
    corpus["zlib-stream-cut"] = sealed(
        launcher_entry + patch_entry + entry(fmt.OLD_PATCH, fmt.ZLIB, stream[:-6], len(OLD_PATCH)), extracted)
    corpus["unknown-name"] = sealed(launcher_entry + patch_entry + stored("setup.exe", patch), extracted - len(OLD_PATCH) + len(patch))
    corpus["unknown-method"] = sealed(
        launcher_entry + patch_entry + entry(fmt.OLD_PATCH, 2, OLD_PATCH, len(OLD_PATCH)), extracted)
    corpus["sizes-unlike-the-seal"] = sealed(payload, extracted + 1)
    corpus["payload-elsewhere"] = sealed(payload, extracted, image_end=image.image_end + 8)
    # The image of one package with the payload of another: the program's
    # file replaced after it started.
    other = [launcher_entry, stored(fmt.PATCH, patch.upper()), old_entry]
    other_package = sealed(b"".join(other), extracted)
    corpus["image-of-one-payload-of-another"] = whole[:image.image_end] + other_package[image.image_end:]
    with open(program, "rb") as source:
        corpus["bare-program"] = source.read()

    os.makedirs(output, exist_ok=True)
    for name in os.listdir(output):
        os.remove(os.path.join(output, name))
    for name, data in corpus.items():
        with open(os.path.join(output, name + ".exe"), "wb") as target:
            target.write(data)


def check_reader(folder):
    packer = os.path.join(ROOT, "scripts", "package")
    failures = []
    names = sorted(os.listdir(folder))
    for name in names:
        run = subprocess.run([packer, "--list", os.path.join(folder, name)], capture_output=True, text=True)
        lines = run.stderr.splitlines()
        if name == "whole.exe":
            if run.returncode != 0:
                failures.append(f"{name}: refused: {run.stderr.strip()}")
        elif run.returncode == 0:
            failures.append(f"{name}: listed")
        elif len(lines) != 1 or not lines[0].startswith("scripts/package: ") or "Traceback" in run.stderr:
            failures.append(f"{name}: not one line: {run.stderr!r}")
    for failure in failures:
        print(failure)
    print(f"{len(names) - len(failures)} of {len(names)} packages read as they should")
    return 1 if failures or "whole.exe" not in names else 0


def check_packer(program, launcher, version, cert, key):
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        for extra in range(fmt.ALIGNMENT):
            patch = os.path.join(scratch, f"patch-{extra}.rvx")
            # Incompressible, so stored as it is: each length ends the payload
            # at another remainder.
            with open(patch, "wb") as target:
                target.write(b"".join(hashlib.sha256(bytes([n])).digest() for n in range(4))[:100 + extra])
            package = os.path.join(scratch, f"package-{extra}.exe")
            signed = os.path.join(scratch, f"signed-{extra}.exe")
            fmt.pack(program, version, package, [(fmt.LAUNCHER, launcher), (fmt.PATCH, patch)])
            subprocess.run(["osslsigncode", "sign", "-h", "sha256", "-certs", cert, "-key", key, "-in", package,
                            "-out", signed], check=True, capture_output=True)
            for path in (package, signed):
                try:
                    fmt.read_package(path)
                except fmt.FormatError as error:
                    failures.append(f"{os.path.basename(path)}: {error}")
    for failure in failures:
        print(failure)
    print(f"{2 * fmt.ALIGNMENT - len(failures)} of {2 * fmt.ALIGNMENT} packed packages read back")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="command", required=True)
    making = commands.add_parser("make")
    making.add_argument("--program", required=True)
    making.add_argument("--launcher", required=True)
    making.add_argument("--output", required=True)
    checking = commands.add_parser("check-reader")
    checking.add_argument("folder")
    packing = commands.add_parser("check-packer")
    for option in ("--program", "--launcher", "--version", "--cert", "--key"):
        packing.add_argument(option, required=True)
    arguments = parser.parse_args()
    if arguments.command == "make":
        make(arguments.program, arguments.launcher, arguments.output)
        return 0
    if arguments.command == "check-packer":
        return check_packer(arguments.program, arguments.launcher, arguments.version, arguments.cert, arguments.key)
    return check_reader(arguments.folder)


if __name__ == "__main__":
    sys.exit(main())

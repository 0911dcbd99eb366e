#include "package/PayloadLocation.h"

#include <cstring>

namespace {

std::uint64_t ReadLittleEndian(const unsigned char* bytes, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t at = count; at != 0; --at) value = (value << 8) | bytes[at - 1];
  return value;
}

// Where the image the linker wrote ends and where the room for a payload
// ends: at the certificate table when the file is signed, else at its end.
struct ImageBounds {
  std::uint64_t ImageEnd = 0;
  std::uint64_t RegionEnd = 0;
};

bool ReadImageBounds(const PackageFile& file, ImageBounds& bounds) {
  IMAGE_DOS_HEADER dos{};
  if (!file.ReadAt(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return false;
  const std::uint64_t ntOffset = static_cast<std::uint64_t>(dos.e_lfanew);
  IMAGE_NT_HEADERS nt{};
  if (!file.ReadAt(ntOffset, &nt, sizeof nt) || nt.Signature != IMAGE_NT_SIGNATURE ||
      nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC ||
      nt.OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_SECURITY) {
    return false;
  }

  const std::uint64_t sectionsOffset =
      ntOffset + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
  if (nt.FileHeader.NumberOfSections == 0) return false;
  for (WORD index = 0; index < nt.FileHeader.NumberOfSections; ++index) {
    IMAGE_SECTION_HEADER section{};
    if (!file.ReadAt(sectionsOffset + index * std::uint64_t{sizeof section}, &section, sizeof section)) return false;
    if (section.SizeOfRawData == 0) continue;
    const std::uint64_t sectionEnd = std::uint64_t{section.PointerToRawData} + section.SizeOfRawData;
    if (sectionEnd > bounds.ImageEnd) bounds.ImageEnd = sectionEnd;
  }

  const IMAGE_DATA_DIRECTORY& certificates = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  bounds.RegionEnd = file.Size();
  if (certificates.Size != 0) {
    // For this directory the "address" is a file offset.
    if (std::uint64_t{certificates.VirtualAddress} + certificates.Size > file.Size()) return false;
    bounds.RegionEnd = certificates.VirtualAddress;
  }
  return bounds.ImageEnd != 0 && bounds.ImageEnd <= bounds.RegionEnd;
}

}  // namespace

bool LocatePayload(const PackageFile& file, PayloadLocation& location) {
  using namespace PayloadFormat;
  ImageBounds bounds;
  if (!ReadImageBounds(file, bounds) || bounds.RegionEnd - bounds.ImageEnd < HeaderSize) return false;

  unsigned char header[HeaderSize];
  if (!file.ReadAt(bounds.ImageEnd, header, sizeof header)) return false;
  if (std::memcmp(header + MagicOffset, Magic, sizeof Magic) != 0 ||
      ReadLittleEndian(header + VersionOffset, 4) != Version || ReadLittleEndian(header + VersionOffset + 4, 4) != 0 ||
      ReadLittleEndian(header + DigestOffset + DigestSize, 8) != 0) {
    return false;
  }

  location.BodyOffset = bounds.ImageEnd + HeaderSize;
  location.BodySize = ReadLittleEndian(header + BodySizeOffset, 8);
  std::memcpy(location.Digest, header + DigestOffset, DigestSize);
  // A cut file ends before the body does; only a signer's alignment may follow it.
  const std::uint64_t room = bounds.RegionEnd - location.BodyOffset;
  return location.BodySize <= room && room - location.BodySize < Alignment;
}

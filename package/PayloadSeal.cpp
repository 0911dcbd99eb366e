#include "package/PayloadSeal.h"

#include <cstring>

namespace {

// The seal of a bare program, filled in by the packer before the package is
// signed. Read through the image's section table rather than through this
// name, so that nothing the compiler knows of its contents can stand in for
// what is mapped.
extern "C" __attribute__((section(".vpkg"), used)) const unsigned char BarePayloadSeal[PayloadFormat::SealSectionSize] = {
    'V', 'P', 'K', 'G', 'S', 'E', 'A', 'L', PayloadFormat::Version};
static_assert(PayloadFormat::Version < 256, "the bare seal spells the version in one byte");

std::uint64_t ReadLittleEndian(const unsigned char* bytes, std::size_t count) {
  std::uint64_t value = 0;
  for (std::size_t at = count; at != 0; --at) value = (value << 8) | bytes[at - 1];
  return value;
}

bool IsZero(const unsigned char* bytes, std::size_t count) {
  for (std::size_t at = 0; at < count; ++at) {
    if (bytes[at] != 0) return false;
  }
  return true;
}

}  // namespace

bool ReadPayloadSeal(HMODULE image, PayloadSeal& seal) {
  using namespace PayloadFormat;
  const auto* base = reinterpret_cast<const unsigned char*>(image);
  if (base == nullptr) return false;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);

  const unsigned char* sealBytes = nullptr;
  std::uint64_t imageEnd = 0;
  for (WORD index = 0; index < nt->FileHeader.NumberOfSections; ++index) {
    const IMAGE_SECTION_HEADER& section = sections[index];
    if (section.SizeOfRawData != 0) {
      const std::uint64_t end = std::uint64_t{section.PointerToRawData} + section.SizeOfRawData;
      if (end > imageEnd) imageEnd = end;
    }
    if (std::memcmp(section.Name, SealSection, sizeof section.Name) == 0 && section.Misc.VirtualSize >= SealSectionSize &&
        section.SizeOfRawData >= SealSectionSize) {
      sealBytes = base + section.VirtualAddress;
    }
  }
  if (sealBytes == nullptr || std::memcmp(sealBytes + SealMagicOffset, SealMagic, sizeof SealMagic) != 0 ||
      ReadLittleEndian(sealBytes + SealVersionOffset, 4) != Version ||
      ReadLittleEndian(sealBytes + SealReservedOffset, 4) != 0 || !IsZero(sealBytes + SealSize, SealSectionSize - SealSize)) {
    return false;
  }

  seal.PayloadOffset = ReadLittleEndian(sealBytes + PayloadOffsetOffset, 8);
  seal.PayloadSize = ReadLittleEndian(sealBytes + PayloadSizeOffset, 8);
  seal.ExtractedSize = ReadLittleEndian(sealBytes + ExtractedSizeOffset, 8);
  std::memcpy(seal.Digest, sealBytes + DigestOffset, DigestSize);
  const IMAGE_DATA_DIRECTORY& certificates = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  // For this directory the "address" is a file offset.
  seal.CertificatesOffset = certificates.Size != 0 ? certificates.VirtualAddress : 0;
  return seal.PayloadOffset == imageEnd && seal.PayloadSize != 0;
}

StepResult CheckPayloadRoom(const PackageFile& file, const PayloadSeal& seal) {
  const std::uint64_t roomEnd = seal.CertificatesOffset != 0 ? seal.CertificatesOffset : file.Size();
  const std::uint64_t payloadEnd = seal.PayloadOffset + seal.PayloadSize;
  if (payloadEnd < seal.PayloadOffset || roomEnd > file.Size() || payloadEnd > roomEnd ||
      roomEnd - payloadEnd >= PayloadFormat::Alignment || roomEnd % PayloadFormat::Alignment != 0) {
    return StepResult::Damaged();
  }
  unsigned char padding[PayloadFormat::Alignment] = {};
  const auto paddingSize = static_cast<std::size_t>(roomEnd - payloadEnd);
  if (StepResult read = file.ReadAt(payloadEnd, padding, paddingSize); !read.IsDone()) return read;
  return IsZero(padding, paddingSize) ? StepResult{} : StepResult::Damaged();
}

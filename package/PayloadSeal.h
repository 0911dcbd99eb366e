#pragma once

#include <windows.h>

#include <cstdint>

#include "package/PackageFile.h"
#include "package/PayloadFormat.h"
#include "package/StepResult.h"

// What the packer sealed into this program's image (PayloadFormat.h): where
// its payload lies in the package file, how large it is extracted, its
// SHA-256; and where the file's room for it ends.
struct PayloadSeal {
  std::uint64_t PayloadOffset = 0;
  std::uint64_t PayloadSize = 0;
  std::uint64_t ExtractedSize = 0;
  unsigned char Digest[PayloadFormat::DigestSize] = {};
  // Where the certificate table starts in a signed file; 0 for an unsigned
  // one, whose room ends at the file's end.
  std::uint64_t CertificatesOffset = 0;
};

// Reads the seal of `image`, a program mapped by the system (the running
// one: GetModuleHandleW(nullptr)), from memory: false unless it is filled in
// and of this format, and its payload starts where the image's last section
// ends in the file.
bool ReadPayloadSeal(HMODULE image, PayloadSeal& seal);

// Whether the sealed payload lies within `file` as the format says: it ends
// before the file does (before its signature, when signed), and only the
// zeros that make that end a multiple of 8 follow it there. Damaged
// otherwise: the file is cut, or carries more than it was packed with.
StepResult CheckPayloadRoom(const PackageFile& file, const PayloadSeal& seal);

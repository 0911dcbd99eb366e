#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "package/PackageFile.h"
#include "package/PayloadFormat.h"

// Where the payload's body lies in the package file, and the digest the
// packer recorded for it.
struct PayloadLocation {
  std::uint64_t BodyOffset = 0;
  std::uint64_t BodySize = 0;
  std::array<unsigned char, PayloadFormat::DigestSize> Digest{};
};

// Empty unless the file is a program of this machine's kind with a header of
// this format right after its last section, and the body it announces fits
// before the file's end or its signature (PayloadFormat.h).
std::optional<PayloadLocation> LocatePayload(const PackageFile& file);

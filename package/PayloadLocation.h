#pragma once

#include <cstdint>

#include "package/PackageFile.h"
#include "package/PayloadFormat.h"

// Where the payload's body lies in the package file, and the digest the
// packer recorded for it.
struct PayloadLocation {
  std::uint64_t BodyOffset = 0;
  std::uint64_t BodySize = 0;
  unsigned char Digest[PayloadFormat::DigestSize] = {};
};

// False unless the file is a program of this machine's kind with a header of
// this format right after its last section, and the body it announces fits
// before the file's end or its signature (PayloadFormat.h); then `location`
// says where it is.
bool LocatePayload(const PackageFile& file, PayloadLocation& location);

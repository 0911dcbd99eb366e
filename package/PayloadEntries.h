#pragma once

#include <cstddef>
#include <cstdint>

#include "package/PackageFile.h"
#include "package/PayloadLocation.h"

// One file of the payload: its name in the staging folder (one of
// PayloadFormat's names) and where its stored bytes lie in the package file.
struct PayloadEntry {
  const char* Name = nullptr;
  unsigned char Method = 0;
  std::uint64_t DataOffset = 0;
  std::uint64_t StoredSize = 0;
  std::uint64_t ExtractedSize = 0;
};

// The entries of the body, in order: each of the format's names at most once.
struct PayloadEntries {
  static constexpr std::size_t MostEntries = 3;
  PayloadEntry Entries[MostEntries];
  std::size_t Count = 0;
};

// False unless the entries fill the body exactly, each has one of the
// format's names at most once, a known method and sizes that agree with it,
// and the launcher and patch.rvx are among them; then `entries` holds them.
bool ReadEntries(const PackageFile& file, const PayloadLocation& payload, PayloadEntries& entries);

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/PackageFile.h"
#include "package/PayloadLocation.h"

// One file of the payload: its name in the staging folder and where its
// stored bytes lie in the package file.
struct PayloadEntry {
  std::wstring Name;
  unsigned char Method = 0;
  std::uint64_t DataOffset = 0;
  std::uint64_t StoredSize = 0;
  std::uint64_t ExtractedSize = 0;
};

// The entries of the body, in order. Empty unless they fill the body exactly,
// each has one of the format's names at most once, a known method and sizes
// that agree with it, and the launcher and patch.rvx are among them.
std::optional<std::vector<PayloadEntry>> ReadEntries(const PackageFile& file, const PayloadLocation& payload);

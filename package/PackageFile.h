#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/UniqueHolder.h"

// The package's own program file, which carries the payload. It is open
// for reading and closed to writers while the package runs, so the bytes
// extracted are the bytes whose digest was checked.
class PackageFile {
 public:
  // False when the program's own file cannot be opened.
  bool Open();

  std::uint64_t Size() const { return FileSize; }

  // False unless all `size` bytes at `offset` were read.
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

 private:
  mw::UniqueFileHandle File;
  std::uint64_t FileSize = 0;
};

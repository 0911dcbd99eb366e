#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "base/UniqueHolder.h"
#include "package/StepResult.h"

// The file the package was started from, which carries the payload. Open
// for reading and closed to writers while the package runs. It may not be
// the file the running image came from (a running program's file can be
// renamed and another put under its name), so nothing read from it is
// trusted before it matches the image's seal.
class PackageFile {
 public:
  // 0, or the system's error when the file at `path` cannot be opened.
  // `path` stays the caller's and must outlive this object.
  DWORD Open(const wchar_t* path);

  const wchar_t* Path() const { return FilePath; }
  std::uint64_t Size() const { return FileSize; }

  // Damaged when the file ends before `size` bytes at `offset` were read.
  StepResult ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

 private:
  const wchar_t* FilePath = L"";
  mw::UniqueFileHandle File;
  std::uint64_t FileSize = 0;
};

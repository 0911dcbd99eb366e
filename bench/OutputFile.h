#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "base/UniqueHolder.h"

namespace bench {

// A new, empty file that a started program inherits as its standard output
// or error; deleted when the object ends.
class OutputFile {
 public:
  explicit OutputFile(std::wstring path);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  HANDLE Handle() const { return File.Get(); }
  // What was written to it so far; 0 when it could not be created.
  std::uint64_t Size() const;

 private:
  std::wstring Path;
  mw::UniqueFileHandle File;
};

}  // namespace bench

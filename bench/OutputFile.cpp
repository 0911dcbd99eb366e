#include "bench/OutputFile.h"

namespace bench {

OutputFile::OutputFile(std::wstring path) : Path(std::move(path)) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  File.Reset(CreateFileW(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
}

OutputFile::~OutputFile() {
  if (!File) return;
  File.Close();
  DeleteFileW(Path.c_str());
}

std::uint64_t OutputFile::Size() const {
  LARGE_INTEGER size{};
  if (!File || !GetFileSizeEx(File.Get(), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace bench

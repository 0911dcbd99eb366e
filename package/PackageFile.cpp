#include "package/PackageFile.h"

#include "base/HeapBlock.h"

namespace {

// The longest path the system has, terminator included.
constexpr DWORD LongestPathUnits = 32768;

}  // namespace

bool PackageFile::Open() {
  const HeapBlock path = AllocateHeapBlock(LongestPathUnits * sizeof(wchar_t));
  if (!path) return false;
  auto* text = static_cast<wchar_t*>(path.Get());
  const DWORD length = GetModuleFileNameW(nullptr, text, LongestPathUnits);
  // A full buffer may hold a cut path, unterminated on older systems.
  if (length == 0 || length >= LongestPathUnits) return false;
  // Readers may share it; nobody may change it until the package ends.
  File.Reset(CreateFileW(text, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr));
  LARGE_INTEGER size{};
  if (!File || !GetFileSizeEx(File.Get(), &size)) return false;
  FileSize = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool PackageFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size != 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(File.Get(), bytes, wanted, &read, &at) || read == 0) return false;
    bytes += read;
    offset += read;
    size -= read;
  }
  return true;
}

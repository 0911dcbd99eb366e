#include "package/PackageFile.h"

DWORD PackageFile::Open(const wchar_t* path) {
  FilePath = path;
  // Readers may share it; nobody may change it until the package ends.
  File.Reset(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr));
  if (!File) return GetLastError();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(File.Get(), &size)) return GetLastError();
  FileSize = static_cast<std::uint64_t>(size.QuadPart);
  return 0;
}

StepResult PackageFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size != 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD read = 0;
    if (!ReadFile(File.Get(), bytes, wanted, &read, &at)) {
      const DWORD error = GetLastError();
      return error == ERROR_HANDLE_EOF ? StepResult::Damaged() : StepResult::Failed(StepResult::Step::ReadPackage, error);
    }
    if (read == 0) return StepResult::Damaged();
    bytes += read;
    offset += read;
    size -= read;
  }
  return {};
}

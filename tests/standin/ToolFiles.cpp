#include "tests/standin/ToolFiles.h"

#include <windows.h>

#include "base/UniqueHolder.h"

namespace stand_in {

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const mw::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bytes.clear();
  char buffer[65536];
  DWORD count = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr)) {
    if (count == 0) return true;
    bytes.append(buffer, count);
  }
  return false;
}

bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
  const mw::UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace stand_in

#include "tests/support/WineOutput.h"

#include <windows.h>

#include <algorithm>

#include "base/UniqueHolder.h"

namespace testing_support {

namespace {

// The file build/wine-run keeps this program's output in, through the Z: drive.
std::wstring OwnOutputFile() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"MENDORA_TEST_OUTPUT", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || path[0] != L'/') return {};
  std::wstring windowsPath = L"Z:" + std::wstring(path, length);
  std::replace(windowsPath.begin(), windowsPath.end(), L'/', L'\\');
  return windowsPath;
}

mw::UniqueFileHandle OpenOwnOutput() {
  const std::wstring path = OwnOutputFile();
  if (path.empty()) return {};
  return mw::UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
}

}  // namespace

WineOutput::WineOutput() {
  const mw::UniqueFileHandle file = OpenOwnOutput();
  LARGE_INTEGER size{};
  if (file && GetFileSizeEx(file.Get(), &size)) Start = size.QuadPart;
}

std::string WineOutput::Since() const {
  const mw::UniqueFileHandle file = OpenOwnOutput();
  if (!Readable() || !file) return {};
  LARGE_INTEGER at{};
  at.QuadPart = Start;
  if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN)) return {};
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read != 0) text.append(buffer, read);
  // A line still being written is left for a later look.
  return text.substr(0, text.rfind('\n') + 1);
}

}  // namespace testing_support

#include "tests/support/PlantedLinks.h"

#include <windows.h>

#include "base/ProcAddress.h"
#include "tests/programs/Utf8Text.h"

namespace testing_support {

namespace {

// Wine's own translation of a Windows path into the Unix one.
std::string UnixPath(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto toUnix = mw::ProcAddress<UnixFileName>(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (toUnix == nullptr) return {};
  char* unix = toUnix(path.c_str());
  if (unix == nullptr) return {};
  std::string result = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

// Wine hands back no usable handle for a Unix program: its effect is waited for instead.
bool RunUnix(const std::wstring& commandLine) {
  std::wstring writable = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WaitUntil(bool wanted, const std::wstring& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (Exists(path) == wanted) return true;
    Sleep(50);
  }
  return false;
}

std::wstring Quoted(const std::string& unixPath) { return L"\"" + programs::FromUtf8(unixPath) + L"\""; }

}  // namespace

bool PlantLink(const std::wstring& target, const std::wstring& link) {
  const std::string unixTarget = UnixPath(target);
  const std::string unixLink = UnixPath(link);
  if (unixTarget.empty() || unixLink.empty()) return false;
  return RunUnix(L"Z:\\bin\\ln -s " + Quoted(unixTarget) + L" " + Quoted(unixLink)) && WaitUntil(true, link);
}

void RemoveLink(const std::wstring& link) {
  const std::string unixLink = UnixPath(link);
  if (!unixLink.empty() && RunUnix(L"Z:\\bin\\rm -f " + Quoted(unixLink))) WaitUntil(false, link);
}

}  // namespace testing_support

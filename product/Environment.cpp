#include "product/Environment.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "base/SystemLibraries.h"

namespace {

constexpr DWORD FolderUnits = MAX_PATH;

std::wstring TextBeforeNul(const std::wstring& buffer) { return std::wstring(buffer.c_str()); }

// As PathRemoveFileSpecW leaves it: "C:\pkg", but "D:\" at a drive root.
// Empty when the path does not fit in MAX_PATH or names no folder.
std::wstring LauncherFolderBackslashOnlyAtRoot() {
  std::wstring buffer(FolderUnits, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), FolderUnits);
  if (length == 0 || length >= FolderUnits) return {};
  if (!SystemLibraries::PathRemoveFileSpecW(buffer.data())) return {};
  return TextBeforeNul(buffer);
}

std::wstring SystemFolder() {
  std::wstring buffer(FolderUnits, L'\0');
  GetSystemDirectoryW(buffer.data(), FolderUnits);
  return TextBeforeNul(buffer);
}

}  // namespace

std::wstring ReadEnvironmentValue(const wchar_t* name) {
  std::size_t units = 0;
  // The size query's result varies between runtimes (0 or ERANGE); the size is what counts.
  _wgetenv_s(&units, nullptr, 0, name);
  if (units == 0) return {};
  std::wstring value(units, L'\0');
  if (_wgetenv_s(&units, value.data(), value.size(), name) != 0) return {};
  return TextBeforeNul(value);
}

void PrepareEnvironment() {
  const std::wstring searchPath = LauncherFolderBackslashOnlyAtRoot() + L";" + SystemFolder();
  // Saved before PATH changes, so it is always the inherited PATH.
  if (ReadEnvironmentValue(L"VALCREST_OLD_PATH").empty()) {
    SetEnvironmentVariableW(L"VALCREST_OLD_PATH", ReadEnvironmentValue(L"PATH").c_str());
  }
  SetEnvironmentVariableW(L"PATH", searchPath.c_str());
}

#include "product/Environment.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "base/OwnImage.h"
#include "base/SystemFolder.h"
#include "base/SystemLibraries.h"

namespace {

std::wstring TextBeforeNul(const std::wstring& buffer) { return std::wstring(buffer.c_str()); }

// As PathRemoveFileSpecW leaves it: "C:\pkg", but "D:\" at a drive root.
// Empty when the path does not fit in MAX_PATH or names no folder.
std::wstring LauncherFolderBackslashOnlyAtRoot() {
  HeapBlock path;
  if (OwnProgramPath(path) != 0) return {};
  auto* text = static_cast<wchar_t*>(path.Get());
  if (std::wcslen(text) >= MAX_PATH || !SystemLibraries::PathRemoveFileSpecW(text)) return {};
  return text;
}

std::wstring SystemFolderText() {
  wchar_t folder[MAX_PATH];
  SystemFolder(folder);
  return folder;
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
  const std::wstring searchPath = LauncherFolderBackslashOnlyAtRoot() + L";" + SystemFolderText();
  // Saved before PATH changes, so it is always the inherited PATH.
  if (ReadEnvironmentValue(L"VALCREST_OLD_PATH").empty()) {
    SetEnvironmentVariableW(L"VALCREST_OLD_PATH", ReadEnvironmentValue(L"PATH").c_str());
  }
  SetEnvironmentVariableW(L"PATH", searchPath.c_str());
}

// Prepares its own environment like the launcher does, then reports PATH and
// VALCREST_OLD_PATH as it sees them and as a child started by it inherits them.

#include <windows.h>

#include <string>

#include "base/SystemLibraries.h"
#include "product/Environment.h"

namespace {

void Write(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                      nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void Report(const wchar_t* who, const wchar_t* name) {
  wchar_t value[32768];
  SetLastError(ERROR_SUCCESS);
  const DWORD length = GetEnvironmentVariableW(name, value, 32768);
  const bool unset = length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND;
  Write(std::wstring(who) + L" " + name + (unset ? L" unset" : L"=" + std::wstring(value, length)) + L"\n");
}

void ReportBoth(const wchar_t* who) {
  Report(who, L"PATH");
  Report(who, L"VALCREST_OLD_PATH");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"child") {
    ReportBoth(L"child");
    return 0;
  }
  SystemLibraries::Load();
  PrepareEnvironment();
  ReportBoth(L"self");

  wchar_t self[MAX_PATH * 2];
  GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" child";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
    WaitForSingleObject(child.hProcess, 30000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  return 0;
}

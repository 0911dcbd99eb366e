// Prepares its own environment like the launcher does, then reports PATH and
// VALCREST_OLD_PATH as it sees them and as a child started by it inherits them.

#include <windows.h>

#include <string>

#include "base/SystemLibraries.h"
#include "product/Environment.h"
#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"

namespace {

void Write(const std::wstring& text) {
  const std::string utf8 = programs::ToUtf8(text);
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

  programs::ProgramStart start;
  start.Program = programs::OwnProgramPath();
  start.Arguments = L"child";
  start.Handles = programs::OwnStandardHandles();
  programs::StartedProgram child;
  if (programs::StartProgram(start, child) == 0) WaitForSingleObject(child.Process.Get(), 30000);
  return 0;
}

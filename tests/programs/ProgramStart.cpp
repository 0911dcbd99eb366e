#include "tests/programs/ProgramStart.h"

#include <cwchar>
#include <cwctype>

#include "base/OwnImage.h"
#include "base/SystemFolder.h"

namespace programs {

StandardHandles OwnStandardHandles() {
  return {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
}

mw::UniqueFileHandle OpenInheritableForReading(const std::wstring& path) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  return mw::UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                          OPEN_EXISTING, 0, nullptr));
}

DWORD CreateInheritablePipe(InheritablePipe& pipe) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &inheritable, 0)) return GetLastError();
  pipe.Read.Reset(read);
  pipe.Write.Reset(write);
  if (SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) return 0;
  const DWORD error = GetLastError();
  pipe.Read.Close();
  pipe.Write.Close();
  return error;
}

std::wstring EnvironmentBlockWith(const EnvironmentChanges& changes) {
  // Windows compares variable names without case: one entry per name, spelt as last given.
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> variables;
  auto keyOf = [](std::wstring name) {
    for (auto& c : name) c = std::towupper(c);
    return name;
  };
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    std::wstring text(entry);
    const std::size_t equals = text.find(L'=', 1);  // "=C:=C:\x" entries begin with '='
    if (equals == std::wstring::npos) continue;
    std::wstring name = text.substr(0, equals);
    variables[keyOf(name)] = {name, text.substr(equals + 1)};
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : changes) {
    if (value) {
      variables[keyOf(name)] = {name, *value};
    } else {
      variables.erase(keyOf(name));
    }
  }
  std::wstring result;
  for (const auto& [key, variable] : variables) {
    result += variable.first + L"=" + variable.second;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
}

std::wstring QuotedCommandLine(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  return commandLine;
}

DWORD StartProgram(const ProgramStart& start, StartedProgram& started) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = start.Handles.Input;
  startup.hStdOutput = start.Handles.Output;
  startup.hStdError = start.Handles.Error;
  // CreateProcessW may write into the command line.
  std::wstring commandLine = QuotedCommandLine(start.Program, start.Arguments);
  std::wstring environment = start.EnvironmentBlock;
  const DWORD flags = (environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT) | (start.Suspended ? CREATE_SUSPENDED : 0);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(start.Program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                      environment.empty() ? nullptr : environment.data(),
                      start.WorkingFolder.empty() ? nullptr : start.WorkingFolder.c_str(), &startup, &process)) {
    return GetLastError();
  }
  started.Process.Reset(process.hProcess);
  started.Thread.Reset(process.hThread);
  started.ProcessId = process.dwProcessId;
  return 0;
}

std::wstring OwnProgramPath() {
  HeapBlock path;
  if (::OwnProgramPath(path) != 0) return {};
  return static_cast<const wchar_t*>(path.Get());
}

std::wstring SystemFolderPath() {
  wchar_t folder[MAX_PATH];
  return std::wstring(folder, SystemFolder(folder));
}

}  // namespace programs

#include "process/DetachedProcess.h"

#include <cwchar>
#include <vector>

#include "base/HandleListAttribute.h"

DWORD CreateDetachedSuspended(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                              HANDLE input, mw::UniqueHandle& process, mw::UniqueHandle& thread) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  HandleListAttribute attributes;
  // Starting without the list would hand the program every inheritable handle.
  if (!attributes.Make(&input, 1)) return GetLastError();
  startup.lpAttributeList = attributes.List();

  // The system may write into the command line.
  std::vector<wchar_t> writableCommandLine(commandLine, commandLine + std::wcslen(commandLine) + 1);
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(program, writableCommandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED | DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr, workingFolder,
                      &startup.StartupInfo, &created)) {
    return GetLastError();
  }
  process.Reset(created.hProcess);
  thread.Reset(created.hThread);
  return 0;
}

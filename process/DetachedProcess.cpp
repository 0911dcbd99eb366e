#include "process/DetachedProcess.h"

#include "process/ChildProcess.h"

DWORD CreateDetachedSuspended(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                              HANDLE input, mw::UniqueHandle& process, mw::UniqueHandle& thread) {
  PROCESS_INFORMATION created{};
  if (const DWORD error = CreateWithOnlyTheseHandles(program, commandLine, workingFolder, input, nullptr, nullptr,
                                                     CREATE_SUSPENDED | DETACHED_PROCESS, created)) {
    return error;
  }
  process.Reset(created.hProcess);
  thread.Reset(created.hThread);
  return 0;
}

#include "process/ConsolelessProcess.h"

#include "process/ChildProcess.h"

DWORD StartConsolelessProcess(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                              HANDLE input, mw::UniqueHandle& process) {
  PROCESS_INFORMATION created{};
  if (const DWORD error = CreateWithOnlyTheseHandles(program, commandLine, workingFolder, input, nullptr, nullptr,
                                                     DETACHED_PROCESS, created)) {
    return error;
  }
  const mw::UniqueHandle thread(created.hThread);
  process.Reset(created.hProcess);
  return 0;
}

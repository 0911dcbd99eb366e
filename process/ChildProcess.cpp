#include "process/ChildProcess.h"

#include <algorithm>
#include <cwchar>

#include "base/GuardedString.h"
#include "base/HandleListAttribute.h"

namespace {

// The system may write into the command line, and short ones get room to spare.
constexpr std::uint32_t MinimumCommandLineCapacity = 64;

DWORD WINAPI RunWatcher(void* watcher) noexcept {
  (*static_cast<std::function<void()>*>(watcher))();
  return 0;
}

}  // namespace

DWORD CreateOutputPipe(mw::UniqueHandle& read, mw::UniqueHandle& write) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return GetLastError();
  read.Reset(readEnd);
  write.Reset(writeEnd);
  // Only the child's end may be inherited, or the pipe never ends while a child lives.
  if (!SetHandleInformation(read.Get(), HANDLE_FLAG_INHERIT, 0)) {
    write.Close();
    read.Close();
    return 0xFFFFFFFF;
  }
  return 0;
}

DWORD CreateWithOnlyTheseHandles(const wchar_t* program, const wchar_t* commandLine, const wchar_t* workingFolder,
                                 HANDLE input, HANDLE output, HANDLE error, DWORD flags, PROCESS_INFORMATION& created) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = error;

  // The program inherits exactly its own stream handles and nothing else the
  // caller holds, so no stray handle keeps its pipes or files open.
  HANDLE inherited[3];
  std::size_t count = 0;
  for (HANDLE handle : {input, output, error}) {
    if (handle != nullptr) inherited[count++] = handle;
  }
  HandleListAttribute attributes;
  // Starting without the list would hand the program every inheritable handle.
  if (!attributes.Make(inherited, count)) return GetLastError();
  startup.lpAttributeList = attributes.List();

  const std::uint32_t length = commandLine != nullptr ? static_cast<std::uint32_t>(std::wcslen(commandLine)) : 0;
  mw::String writableCommandLine;
  if (!writableCommandLine.SetCapacity(std::max(length, MinimumCommandLineCapacity)) ||
      !writableCommandLine.Assign(commandLine, length)) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  if (!CreateProcessW(program, writableCommandLine.GetBuffer(length), nullptr, nullptr, TRUE,
                      flags | EXTENDED_STARTUPINFO_PRESENT, nullptr, workingFolder, &startup.StartupInfo, &created)) {
    return GetLastError();
  }
  return 0;
}

DWORD CreateHiddenProcess(const wchar_t* commandLine, const wchar_t* workingDirectory, HANDLE stdinChild,
                          HANDLE stdoutWrite, HANDLE stderrWrite, mw::UniqueHandle& process) {
  PROCESS_INFORMATION created{};
  if (const DWORD error = CreateWithOnlyTheseHandles(nullptr, commandLine, workingDirectory, stdinChild, stdoutWrite,
                                                     stderrWrite, CREATE_NO_WINDOW, created)) {
    return error;
  }
  const mw::UniqueHandle thread(created.hThread);
  process.Reset(created.hProcess);
  return 0;
}

mw::UniqueHandle StartWatcherThread(std::function<void()>& watcher) {
  return mw::UniqueHandle(CreateThread(nullptr, 0, &RunWatcher, &watcher, 0, nullptr));
}

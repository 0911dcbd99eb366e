#include "launcher/RunSequence.h"

#include <windows.h>

#include <cstdint>
#include <iostream>

#include "base/GuardedString.h"
#include "base/SystemLibraries.h"
#include "base/UniqueHolder.h"
#include "launcher/ConsoleLine.h"
#include "launcher/ConsoleSetup.h"
#include "launcher/LaunchOptions.h"
#include "launcher/OutputDecisions.h"
#include "launcher/ToolInvocation.h"
#include "launcher/ToolProcess.h"
#include "launcher/Wow64Detection.h"
#include "log/Log.h"
#include "process/DetachSignal.h"
#include "process/PumpThreads.h"
#include "product/Environment.h"
#include "product/InstallPath.h"

// Ways out, each marked "Exit:" below; every one of them returns through
// RunLauncher, which closes the log last.
//   3              no installation folder
//   2              no patching tool, or no package
//   5              the tool could not be started
//   0              the tool ended with 0, or it reported its validation done (detach)
//   tool's code    the tool ended with another code
//   1460           the wait timed out
//   wait result    the wait failed
//   error code     the tool's exit code could not be read

namespace {

void CreateDetachEvent() {
  DetachEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!DetachEvent) {
    WriteLog(L"[ERROR] Could not create event for detach - skip functionality, error: %d.",
             static_cast<int>(GetLastError()));
  }
}

// An empty duplicate makes the wait fail, which is reported as such.
mw::UniqueHandle DuplicateForWait(HANDLE process) {
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &duplicate, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return {};
  }
  return mw::UniqueHandle(duplicate);
}

int ReportToolEnd(HANDLE toolProcess, const ToolInvocation& invocation) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(toolProcess, &exitCode)) {
    // An unknown result is never reported as success.
    const DWORD error = GetLastError();
    WriteLog(L"[ERROR] GetExitCodeProcess failed, error: %d", static_cast<int>(error));
    WriteConsoleLine(std::wcerr, L"Failed to monitor patch execution. Error code: ", error);
    return static_cast<int>(error);  // Exit: the tool's result is unknown.
  }
  if (exitCode != 0) {
    WriteLog(L"[ERROR] %s returned %d", invocation.ToolPath.GetText(), static_cast<int>(exitCode));
    WriteConsoleLine(std::wcerr, L"Patch execution finished with error code: ", static_cast<std::int32_t>(exitCode));
    return static_cast<int>(exitCode);  // Exit: the tool failed.
  }
  WriteLog(L"[INFO] rivlet.exe returned with ERROR_SUCCESS.");
  WriteConsoleLine(std::wcout, L"Patch execution finished successfully.");
  return 0;  // Exit: the tool succeeded.
}

// The wait ended other than by the tool's exit: the pumps stop, the tool runs on.
int ReportEarlyEnd(DWORD waitResult, PumpThreads& pumps) {
  SignalDetach();
  pumps.StopPumps(true);
  if (waitResult == WAIT_OBJECT_0 + 1) {
    WriteLog(L"[INFO] Detach was signaled.");
    return 0;  // Exit: detached.
  }
  if (waitResult == WAIT_TIMEOUT) {
    WriteLog(L"[ERROR] Timeout reached.");
    WriteConsoleLine(std::wcerr, L"Failed to monitor patch execution. Error code: ", std::uint32_t{WAIT_TIMEOUT});
    return ERROR_TIMEOUT;  // Exit: time-out.
  }
  WriteLog(L"[ERROR] WaitForSingleObject returned %d", static_cast<int>(waitResult));
  WriteConsoleLine(std::wcerr, L"Failed to monitor patch execution. Error code: ", std::uint32_t{waitResult});
  return static_cast<int>(waitResult);  // Exit: the wait failed.
}

int RunTool(const ToolInvocation& invocation, const RunLimits& limits) {
  ToolProcess tool;
  const DWORD startError = tool.Start(invocation.CommandLine.GetText(), invocation.WorkingFolder.GetText());
  if (startError != 0) {
    tool.CloseStreams();
    WriteLog(L"[ERROR] rivlet.exe could not be run!");
    WriteConsoleLine(std::wcerr, L"Patch could not be executed. Error code: ", static_cast<std::int32_t>(startError));
    return 5;  // Exit: the tool could not be started.
  }
  WriteConsoleLine(std::wcout, L"Patch execution started.");

  // Declared in this order so that clean-up closes the duplicate first, then
  // forgets the pump threads, then releases the tool's handles.
  PumpThreads pumps(tool.StdoutRead, tool.StderrRead, limits.PumpJoinMs);
  const mw::UniqueHandle toolProcess = DuplicateForWait(tool.Process.Get());
  pumps.Start(WriteToolOutput, DetachRequested);

  HANDLE waitList[2] = {toolProcess.Get(), DetachEvent.Get()};
  const DWORD waitCount = DetachEvent ? 2 : 1;
  const DWORD waitResult = WaitForMultipleObjects(waitCount, waitList, FALSE, limits.ToolWaitMs);
  if (waitResult != WAIT_OBJECT_0) return ReportEarlyEnd(waitResult, pumps);
  pumps.StopPumps(false);
  return ReportToolEnd(toolProcess.Get(), invocation);
}

int RunSteps(const RunLimits& limits) {
  const bool isWow64 = DetectWow64();
  WriteLog(L"[INFO] use isWOW64: %s.", BoolText(isWow64));

  mw::String installPath;
  FindInstallPath(installPath, isWow64);

  const OptionSet options = ReadLaunchOptions();

  CreateDetachEvent();

  if (installPath.GetLength() == 0) {
    WriteLog(L"[ERROR] installation path not found!");
    WriteConsoleLine(std::wcerr, L"Product installation path not found.");
    return 3;  // Exit: no product.
  }
  WriteLog(L"[INFO] installation path found: %s", installPath.GetText());

  ToolInvocation invocation;
  if (PrepareToolInvocation(installPath, options, invocation) != ToolPreparation::Ready) {
    return 2;  // Exit: no tool or no package, already reported.
  }
  return RunTool(invocation, limits);
}

}  // namespace

int RunLauncher(const RunLimits& limits) {
  SetConsoleModes();
  SystemLibraries::RestrictSearchOrder();
  SystemLibraries::Load();
  PrepareEnvironment();
  OpenLog();
  const int exitCode = RunSteps(limits);
  CloseLog();
  return exitCode;
}

#include "launcher/RunSequence.h"

#include <windows.h>

#include <iostream>

#include "base/DllSearchOrder.h"
#include "base/GuardedString.h"
#include "base/SystemLibraries.h"
#include "base/UniqueHolder.h"
#include "launcher/ConsoleLine.h"
#include "launcher/ConsoleSetup.h"
#include "launcher/LaunchOptions.h"
#include "launcher/OutputDecisions.h"
#include "launcher/PatchRunMarker.h"
#include "launcher/RunOutcome.h"
#include "launcher/ToolInvocation.h"
#include "launcher/ToolProcess.h"
#include "launcher/Wow64Detection.h"
#include "log/Log.h"
#include "process/DetachSignal.h"
#include "process/PumpThreads.h"
#include "product/Environment.h"
#include "product/InstallPath.h"

// Ways out, each marked "Exit:" below: every step that ends the run returns
// its outcome, and RunLauncher alone turns it into the console line and the
// exit code (ReportFor), then closes the log last.

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

RunOutcome ToolEnd(HANDLE toolProcess, const ToolInvocation& invocation) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(toolProcess, &exitCode)) {
    const DWORD error = GetLastError();
    WriteLog(L"[ERROR] GetExitCodeProcess failed, error: %d", static_cast<int>(error));
    return {RunOutcome::Kind::ExitCodeUnreadable, error};  // Exit: the tool's result is unknown.
  }
  if (exitCode != 0) {
    WriteLog(L"[ERROR] %s returned %d", invocation.ToolPath.GetText(), static_cast<int>(exitCode));
  } else {
    WriteLog(L"[INFO] rivlet.exe returned with ERROR_SUCCESS.");
  }
  return {RunOutcome::Kind::ToolEnded, exitCode};  // Exit: the tool ended.
}

// The wait ended other than by the tool's exit: the pumps stop, the tool runs on.
RunOutcome EarlyEnd(DWORD waitResult, PumpThreads& pumps) {
  SignalDetach();
  pumps.StopPumps(true);
  if (waitResult == WAIT_OBJECT_0 + 1) {
    WriteLog(L"[INFO] Detach was signaled.");
    return {RunOutcome::Kind::Detached};  // Exit: detached.
  }
  if (waitResult == WAIT_TIMEOUT) {
    WriteLog(L"[ERROR] Timeout reached.");
    return {RunOutcome::Kind::TimedOut};  // Exit: time-out.
  }
  WriteLog(L"[ERROR] WaitForSingleObject returned %d", static_cast<int>(waitResult));
  return {RunOutcome::Kind::WaitFailed, waitResult};  // Exit: the wait failed.
}

RunOutcome RunTool(const ToolInvocation& invocation, const RunLimits& limits, const PatchRunMarker& marker) {
  ToolProcess tool;
  const DWORD startError = tool.Start(invocation.CommandLine.GetText(), invocation.WorkingFolder.GetText());
  if (startError != 0) {
    tool.CloseStreams();
    WriteLog(L"[ERROR] rivlet.exe could not be run!");
    return {RunOutcome::Kind::NotStarted, startError};  // Exit: the tool could not be started.
  }
  marker.HandTo(tool.Process.Get());
  WriteConsoleLine(std::wcout, L"Patch execution started.");

  // Declared in this order so that clean-up closes the duplicate first, then
  // forgets the pump threads, then releases the tool's handles.
  PumpThreads pumps(tool.StdoutRead, tool.StderrRead, limits.PumpJoinMs);
  const mw::UniqueHandle toolProcess = DuplicateForWait(tool.Process.Get());
  pumps.Start(WriteToolOutput, DetachRequested);

  HANDLE waitList[2] = {toolProcess.Get(), DetachEvent.Get()};
  const DWORD waitCount = DetachEvent ? 2 : 1;
  const DWORD waitResult = WaitForMultipleObjects(waitCount, waitList, FALSE, limits.ToolWaitMs);
  if (waitResult != WAIT_OBJECT_0) return EarlyEnd(waitResult, pumps);
  pumps.StopPumps(false);
  return ToolEnd(toolProcess.Get(), invocation);
}

RunOutcome RunSteps(const RunLimits& limits) {
  const bool isWow64 = DetectWow64();
  WriteLog(L"[INFO] use isWOW64: %s.", BoolText(isWow64));

  mw::String installPath;
  FindInstallPath(installPath, isWow64);

  const OptionSet options = ReadLaunchOptions();

  CreateDetachEvent();

  if (installPath.GetLength() == 0) {
    WriteLog(L"[ERROR] installation path not found!");
    return {RunOutcome::Kind::NoProduct};  // Exit: no product.
  }
  WriteLog(L"[INFO] installation path found: %s", installPath.GetText());

  ToolInvocation invocation;
  switch (PrepareToolInvocation(installPath, options, invocation)) {
    case ToolPreparation::ToolMissing:
      return {RunOutcome::Kind::ToolMissing};  // Exit: no tool.
    case ToolPreparation::PackageMissing:
      return {RunOutcome::Kind::PackageMissing};  // Exit: no package.
    case ToolPreparation::Ready:
      break;
  }
  // Held until the run returns: a run that started no tool leaves no mark.
  PatchRunMarker marker;
  if (marker.Claim() == PatchRunClaim::AnotherRunMarked) {
    WriteLog(L"[ERROR] Another patch is being applied: %s exists - rivlet.exe is not started.", PatchRunMutexName);
    return {RunOutcome::Kind::AnotherPatchRun};  // Exit: another run's tool still patches.
  }
  return RunTool(invocation, limits, marker);
}

// The outcome's console line, if it has one; its exit code.
int Conclude(const RunOutcome& outcome) {
  const OutcomeReport report = ReportFor(outcome);
  if (report.Stream == ConsoleStream::Output) WriteConsoleLine(std::wcout, report.Line.c_str());
  if (report.Stream == ConsoleStream::Error) WriteConsoleLine(std::wcerr, report.Line.c_str());
  return report.ExitCode;
}

}  // namespace

int RunLauncher(const RunLimits& limits) {
  SetConsoleModes();
  RestrictDllSearchOrder();
  SystemLibraries::Load();
  PrepareEnvironment();
  OpenLog();
  const int exitCode = Conclude(RunSteps(limits));
  CloseLog();
  return exitCode;
}

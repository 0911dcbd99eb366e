#include "launcher/RunSequence.h"

#include <windows.h>

#include <iostream>

#include "base/DllSearchOrder.h"
#include "base/GuardedString.h"
#include "base/HandleDuplicate.h"
#include "base/ProcessAccount.h"
#include "base/SystemLibraries.h"
#include "base/ToolFileName.h"
#include "base/UniqueHolder.h"
#include "launcher/ConsoleLine.h"
#include "launcher/ConsoleSetup.h"
#include "launcher/PatchRunMutex.h"
#include "launcher/ToolProcess.h"
#include "launcher/Wow64Detection.h"
#include "log/Log.h"
#include "options/LaunchOptions.h"
#include "options/WaitOptions.h"
#include "process/DetachSignal.h"
#include "process/PumpThreads.h"
#include "product/Environment.h"
#include "product/InstallPath.h"
#include "runend/FinisherStart.h"
#include "runend/RunEvents.h"
#include "runend/RunOutcome.h"
#include "runend/RunRecord.h"
#include "runend/ToolEnd.h"
#include "tool/OutputDecisions.h"
#include "tool/PackageDigest.h"
#include "tool/ToolInvocation.h"
#include "tool/ToolTrust.h"

// Ways out, each marked "Exit:" below: every step that ends the run returns
// its outcome, and RunLauncher alone turns it into the console line, the
// event and the exit code (ReportFor), then closes the log last.

namespace {

void CreateDetachEvent() {
  if (!ArmDetachSignal()) {
    WriteLog(L"[ERROR] Could not create event for detach - skip functionality, error: %d.",
             static_cast<int>(GetLastError()));
  }
}

// An empty duplicate makes the wait fail, which is reported as such.
mw::UniqueHandle DuplicateForWait(HANDLE process) {
  return mw::UniqueHandle(DuplicateInto(GetCurrentProcess(), process, 0, true));
}

// The run's record is named for the package's SHA-256. It is taken before
// the tool starts, the package held until then, so that the file hashed is
// the one the tool is given and nothing comes between the tool's start and
// the wait for its end or its marker. Without it the run has no record.
void HashPackage(const ToolInvocation& invocation, mw::UniqueFileHandle& heldPackage, RunFacts& facts) {
  DWORD error = 0;
  facts.PackageSha256 = PackageSha256(invocation.PackagePath.GetText(), heldPackage, error);
  if (facts.PackageSha256.empty()) {
    WriteLog(L"[WARNING] Could not compute the SHA-256 of %s, error: %d - the run goes on without a run record.",
             invocation.PackagePath.GetText(), static_cast<int>(error));
  }
}

// The wait ended other than by the tool's exit: the pumps stop and the tool
// runs on, left to the finisher.
RunOutcome EarlyEnd(DWORD waitResult, PumpThreads& pumps, RunRecord& record, const FinisherStart& finisher) {
  SignalDetach();
  pumps.StopPumps(true);
  RunOutcome outcome{RunOutcome::Kind::Detached};
  if (waitResult == WAIT_OBJECT_0 + 1) {
    WriteLog(L"[INFO] Detach was signaled.");  // Exit: detached.
  } else if (waitResult == WAIT_TIMEOUT) {
    WriteLog(L"[ERROR] Timeout reached.");
    outcome = {RunOutcome::Kind::TimedOut};  // Exit: time-out.
  } else {
    WriteLog(L"[ERROR] WaitForSingleObject returned %d", static_cast<int>(waitResult));
    outcome = {RunOutcome::Kind::WaitFailed, waitResult};  // Exit: the wait failed.
  }
  record.MarkDetached();
  if (const DWORD finisherId = finisher.ProcessId(); finisherId != 0) {
    WriteLog(L"[INFO] %s runs on; the run's finisher, process %d, logs and records its end.", ToolFileName,
             static_cast<int>(finisherId));
  }
  return outcome;
}

RunOutcome RunTool(ToolInvocation& invocation, const RunLimits& limits, DWORD toolWaitMs,
                   const PatchRunMutex& patchRun, FinisherStart& finisher, RunFacts& facts) {
  if (const DWORD error = CheckToolTrust(invocation.ToolFile.Get(), invocation.ToolOpenError, ProcessAccount())) {
    WriteLog(L"[ERROR] %s could not be run!", ToolFileName);
    return {RunOutcome::Kind::NotStarted, error};  // Exit: the tool may be changed by others.
  }
  mw::UniqueFileHandle heldPackage;
  HashPackage(invocation, heldPackage, facts);
  RunRecord record;
  if (!facts.PackageSha256.empty()) record.Open(facts.PackageSha256);
  // Started first, and handed the pipes before the tool exists: whatever
  // ends the launcher, the tool's pipes always have a reader.
  finisher.Start();
  ToolProcess tool;
  tool.PipesReady = [&] {
    finisher.HandOver(tool.StdoutRead.Get(), tool.StderrRead.Get(), patchRun.Handle(), patchRun.Place(), record,
                      invocation.ToolPath.GetText(), WriteToolOutput, facts);
  };
  const DWORD startError = tool.Start(invocation.CommandLine.GetText(), invocation.WorkingFolder.GetText());
  finisher.HandOverTool(tool.Process.Get());
  // Started or not, the tool and its package are the product's and the
  // package's again: a tool may well update itself.
  invocation.ToolFile.Close();
  heldPackage.Close();
  if (startError != 0) {
    tool.CloseStreams();
    record.Discard();
    WriteLog(L"[ERROR] %s could not be run!", ToolFileName);
    return {RunOutcome::Kind::NotStarted, startError};  // Exit: the tool could not be started.
  }
  patchRun.HandTo(tool.Process.Get());
  record.Begin(facts.ToolVersion, facts.LogPath.c_str());
  WriteConsoleLine(std::wcout, L"Patch execution started.");

  // Declared in this order so that clean-up closes the duplicate first, then
  // forgets the pump threads, then releases the tool's handles.
  PumpThreads pumps(tool.StdoutRead, tool.StderrRead, limits.PumpJoinMs);
  const mw::UniqueHandle toolProcess = DuplicateForWait(tool.Process.Get());
  pumps.Start(WriteToolOutput, DetachRequested);

  HANDLE waitList[2] = {toolProcess.Get(), DetachEvent.Get()};
  const DWORD waitCount = DetachEvent ? 2 : 1;
  const DWORD waitResult = WaitForMultipleObjects(waitCount, waitList, FALSE, toolWaitMs);
  if (waitResult != WAIT_OBJECT_0) return EarlyEnd(waitResult, pumps, record, finisher);
  pumps.StopPumps(false);
  const RunOutcome end = ReadToolEnd(toolProcess.Get(), invocation.ToolPath.GetText());  // Exit: the tool ended.
  record.End(end);
  return end;
}

RunOutcome RunSteps(const RunLimits& limits, FinisherStart& finisher, RunFacts& facts) {
  const bool isWow64 = DetectWow64();
  WriteLog(L"[INFO] use isWOW64: %s.", BoolText(isWow64));

  mw::String installPath;
  FindInstallPath(installPath, isWow64);

  const OptionSet options = ReadLaunchOptions();
  const WaitLimits waits = ReadWaitLimits(options, limits.ToolWaitMs);

  CreateDetachEvent();

  if (installPath.GetLength() == 0) {
    WriteLog(L"[ERROR] installation path not found!");
    return {RunOutcome::Kind::NoProduct};  // Exit: no product.
  }
  WriteLog(L"[INFO] installation path found: %s", installPath.GetText());

  ToolInvocation invocation;
  const ToolPreparation preparation =
      PrepareToolInvocation(installPath, options, static_cast<bool>(DetachEvent), invocation);
  if (invocation.DetachNotSupported) {
    WriteConsoleLine(std::wcerr, L"Warning: Detach is not supported by the currently installed version.");
  }
  facts.ToolVersion = invocation.ToolVersion;
  switch (preparation) {
    case ToolPreparation::ToolMissing:
      return {RunOutcome::Kind::ToolMissing};  // Exit: no tool.
    case ToolPreparation::PackageMissing:
      return {RunOutcome::Kind::PackageMissing};  // Exit: no package.
    case ToolPreparation::Ready:
      break;
  }
  // Held until the run returns: a run that started no tool leaves no mark.
  PatchRunMutex patchRun;
  if (patchRun.Claim(waits.OtherRunMs) == PatchRunClaim::AnotherRunMarked) {
    return {RunOutcome::Kind::AnotherPatchRun};  // Exit: another run's tool still patches.
  }
  return RunTool(invocation, limits, waits.ToolMs, patchRun, finisher, facts);
}

// The outcome's console line, if it has one, and its event; its exit code.
int Conclude(const RunOutcome& outcome, const RunFacts& facts) {
  const OutcomeReport report = ReportFor(outcome);
  if (report.Stream == ConsoleStream::Output) WriteConsoleLine(std::wcout, report.Line.c_str());
  if (report.Stream == ConsoleStream::Error) WriteConsoleLine(std::wcerr, report.Line.c_str());
  ReportRunEvent(report.Event, report.Line.empty() ? DetachedEventText : report.Line,
                 std::to_wstring(report.ExitCode), facts);
  return report.ExitCode;
}

}  // namespace

int RunLauncher(const RunLimits& limits) {
  SetConsoleModes();
  RestrictDllSearchOrder();
  FinisherStart finisher;
  finisher.HoldImage();
  SystemLibraries::Load();
  PrepareEnvironment();
  OpenLog();
  RunFacts facts;
  if (LogFileHandle() != nullptr) facts.LogPath = LogPath.GetText();
  const RunOutcome outcome = RunSteps(limits, finisher, facts);
  const int exitCode = Conclude(outcome, facts);
  CloseLog();
  finisher.NoteLauncherEnd(outcome.What == RunOutcome::Kind::ToolEnded ||
                           outcome.What == RunOutcome::Kind::ExitCodeUnreadable);
  return exitCode;
}

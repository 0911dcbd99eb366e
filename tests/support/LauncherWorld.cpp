#include "tests/support/LauncherWorld.h"

#include <algorithm>
#include <ctime>

#include "tests/programs/ProcessList.h"
#include "tests/support/EventTrace.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/RunRecordReader.h"
#include "tests/support/ScratchFiles.h"

namespace testing_support {

LauncherWorld::LauncherWorld(std::wstring installFolder, std::wstring packageFolder, const wchar_t* launcherBuild)
    : Install(std::move(installFolder)), Package(std::move(packageFolder)) {
  Prepare(launcherBuild);
}

LauncherWorld::LauncherWorld(const ScratchTag& scratch, const wchar_t* launcherBuild)
    : Scratch(std::in_place, scratch.Name), Install(*Scratch / L"Valcrest"), Package(*Scratch / L"pkg") {
  Prepare(launcherBuild);
}

void LauncherWorld::Prepare(const wchar_t* launcherBuild) {
  RemoveEverything();
  CreateFolders(Install);
  CreateFolders(Package);
  // A 32-bit system has one view and ignores the flag.
  SetInstallLocation(View64, Install);
  CopyFileW((BinaryFolder() + launcherBuild).c_str(), LauncherPath().c_str(), FALSE);
}

LauncherWorld::~LauncherWorld() { RemoveEverything(); }

void LauncherWorld::RemoveEverything() const {
  // A tool left running after a detach or a time-out holds its folder, and
  // its finisher (the launcher's image) holds the package folder and the log.
  // Once the tool has gone the finisher ends by itself, within its drain.
  programs::EndProcesses(L"rivlet.exe");
  if (!WaitForFinishersToEnd(15000)) programs::EndProcesses(L"Mendora.Launcher.exe");
  RemoveRunRecords();
  RemoveProductRegistration();
  RemoveTree(Install);
  // A package at a drive root: only what the world put there.
  if (Package.size() <= 3) {
    for (const wchar_t* name : {L"Mendora.Launcher.exe", L"patch.rvx", L"patch.rvx.old"}) RemoveTree(Package + name);
  } else {
    RemoveTree(Package);
  }
}

bool LauncherWorld::WaitForFinishersToEnd(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (const auto& finisher : programs::OpenProcesses(L"Mendora.Launcher.exe", SYNCHRONIZE)) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (WaitForSingleObject(finisher.Handle.Get(), left) != WAIT_OBJECT_0) return false;
  }
  return true;
}

bool LauncherWorld::InstallTool(const std::optional<FileVersion>& version, const std::string& script) {
  return InstallStandInTool(ToolPath(), version, script);
}

bool LauncherWorld::AddPackageFile(const std::wstring& name) {
  return WriteFileBytes(PackagePath(name), "package contents");
}

LauncherOutcome LauncherWorld::Run(const std::optional<std::wstring>& sfxcmd, DWORD timeoutMs) const {
  ProgramRequest request;
  request.Environment[L"SFXCMD"] = sfxcmd;
  request.TimeoutMs = timeoutMs;
  return Run(std::move(request));
}

LauncherOutcome LauncherWorld::Run(ProgramRequest request) const {
  request.Program = LauncherPath();
  EventTrace::Enable(request.Environment);
  // Wine hands a freed process id out again at once, and a finisher may still
  // hold the log of an earlier launcher that had this one's id: one started
  // in the same second would find its log's name taken.
  long long firstSecond = 0;
  request.BeforeResume = [&, before = std::move(request.BeforeResume)](DWORD processId) {
    firstSecond = FirstFreeLogSecond(processId);
    while (static_cast<long long>(std::time(nullptr)) < firstSecond) Sleep(20);
    if (before) before(processId);
  };
  LauncherOutcome outcome;
  outcome.Result = RunProgram(request);
  outcome.Log = ReadRunLog(outcome.Result.ProcessId, std::max(outcome.Result.StartSeconds, firstSecond + 1),
                           outcome.Result.EndSeconds);
  outcome.Tool = ReadStandInRecord(ToolPath());
  return outcome;
}

}  // namespace testing_support

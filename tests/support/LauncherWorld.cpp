#include "tests/support/LauncherWorld.h"

#include "tests/programs/ProcessList.h"
#include "tests/support/ProductRegistration.h"
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
  // A tool left running after a detach or a time-out holds its folder.
  programs::EndProcesses(L"rivlet.exe");
  RemoveProductRegistration();
  RemoveTree(Install);
  // A package at a drive root: only what the world put there.
  if (Package.size() <= 3) {
    for (const wchar_t* name : {L"Mendora.Launcher.exe", L"patch.rvx", L"patch.rvx.old"}) RemoveTree(Package + name);
  } else {
    RemoveTree(Package);
  }
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
  LauncherOutcome outcome;
  outcome.Result = RunProgram(request);
  outcome.Log = ReadRunLog(outcome.Result);
  outcome.Tool = ReadStandInRecord(ToolPath());
  return outcome;
}

}  // namespace testing_support

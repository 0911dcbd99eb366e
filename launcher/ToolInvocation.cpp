#include "launcher/ToolInvocation.h"

#include <windows.h>

#include <iostream>

#include "base/SystemLibraries.h"
#include "launcher/ConsoleLine.h"
#include "launcher/OutputDecisions.h"
#include "launcher/ToolFileNames.h"
#include "launcher/ToolVersion.h"
#include "log/Log.h"
#include "process/DetachSignal.h"

namespace {

bool Exists(const mw::String& path) { return SystemLibraries::PathFileExistsW(path.GetText()) != FALSE; }

// A trailing backslash before the closing quote would escape the quote.
void StripTrailingBackslashes(mw::PathString& folder) {
  std::uint32_t length = folder.GetLength();
  while (length != 0 && folder.GetText()[length - 1] == L'\\') --length;
  folder.GetBuffer(mw::MeasureText);
  folder.ReleaseBuffer(length);
}

void DecideDetach(const OptionSet& options, const ToolVersion& version) {
  DetachRequested = options.Has(L"detach") && DetachEvent;
  WriteLog(L"[INFO] Detach parameter: %s.", BoolText(DetachRequested));
  if (!DetachRequested) return;
  if (IsDetachSupported(version)) {
    WriteLog(L"[INFO] Detach is supported.");
    return;
  }
  WriteConsoleLine(std::wcerr, L"Warning: Detach is not supported by the currently installed version.");
  WriteLog(L"[WARNING] Detach is not supported - option is skipped.");
  DetachRequested = false;
}

bool DecideOldPackage(const ToolInvocation& invocation, const ToolVersion& version) {
  if (!Exists(invocation.OldPackagePath)) return false;
  if (!version.ReadOk) {
    WriteLog(L"[ERROR] Could not read rivlet.exe fileversion, defaulting to new encryption method!");
    return false;
  }
  WriteLog(L"[INFO] rivlet.exe fileversion: %d.%d.%d.%d", version.Major, version.Minor, version.Build,
           version.Revision);
  const bool useOld = UsesOldPackage(version);
  WriteLog(L"[INFO] use old: %s", BoolText(useOld));
  return useOld;
}

}  // namespace

void GetLauncherFolderWithBackslash(mw::PathString& folder) {
  const std::uint32_t capacity = folder.GetCapacity();
  const DWORD length = GetModuleFileNameW(nullptr, folder.GetBuffer(mw::MeasureText), capacity);
  // A cut name is not terminated: set the length to what was written.
  folder.ReleaseBuffer(length);
  if (length == 0 || length == capacity) return;
  if (SystemLibraries::PathRemoveFileSpecW(folder.GetBuffer(mw::MeasureText))) {
    folder.ReleaseBuffer();
    SystemLibraries::PathAddBackslashW(folder.GetBuffer(mw::MeasureText));
  }
  folder.ReleaseBuffer();
}

mw::String ComposeToolCommandLine(const mw::String& toolPath, const mw::String& packagePath, bool useOldPackage,
                                  mw::PathString& launcherFolder) {
  mw::String commandLine;
  commandLine.Format(L"\"%s\"", toolPath.GetText());
  StripTrailingBackslashes(launcherFolder);
  commandLine.Append(L" /encfile \"");
  commandLine.Append(packagePath.GetText(), packagePath.GetLength());
  commandLine.Append(L"\"");
  if (useOldPackage) {
    commandLine.Append(L" /var scriptdir \"");
    commandLine.Append(launcherFolder.GetText(), launcherFolder.GetLength());
    commandLine.Append(L"\"");
  }
  return commandLine;
}

ToolPreparation PrepareToolInvocation(const mw::String& installPath, const OptionSet& options,
                                      ToolInvocation& invocation) {
  invocation.ToolPath = installPath;
  invocation.ToolPath.JoinPath(ToolSubPath.GetText());
  if (!Exists(invocation.ToolPath)) {
    WriteLog(L"[ERROR] %s not found!", invocation.ToolPath.GetText());
    return ToolPreparation::ToolMissing;
  }
  invocation.ToolFile.Reset(CreateFileW(invocation.ToolPath.GetText(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  if (!invocation.ToolFile) invocation.ToolOpenError = GetLastError();

  GetLauncherFolderWithBackslash(invocation.PackageFolder);
  invocation.LauncherFolderWithoutBackslashes = invocation.PackageFolder;
  invocation.OldPackagePath = invocation.PackageFolder;
  invocation.OldPackagePath.JoinPath(OldPackageName.GetText());

  const ToolVersion version = ReadToolVersion(invocation.ToolPath);
  invocation.ToolVersion = FormatToolVersion(version);
  WriteLog(L"[INFO] Rivlet version detected: %s.", invocation.ToolVersion.c_str());
  WriteToolOutput = version.ReadOk && ShouldWriteToolOutput(version);
  WriteLog(L"[INFO] Should write output from rivlet: %s", BoolText(WriteToolOutput));
  DecideDetach(options, version);
  const bool useOldPackage = DecideOldPackage(invocation, version);

  mw::PathString& packagePath = invocation.PackagePath;
  packagePath = invocation.PackageFolder;
  packagePath.JoinPath(useOldPackage ? OldPackageName.GetText() : PackageName.GetText());
  if (!Exists(packagePath)) {
    WriteLog(L"[ERROR] %s not found!", packagePath.GetText());
    return ToolPreparation::PackageMissing;
  }

  mw::String commandLine = ComposeToolCommandLine(invocation.ToolPath, packagePath, useOldPackage,
                                                 invocation.LauncherFolderWithoutBackslashes);
  invocation.CommandLine.MoveFrom(commandLine);
  // A bare drive ("D:") would name that drive's current folder, not its root.
  invocation.WorkingFolder = invocation.LauncherFolderWithoutBackslashes;
  if (invocation.WorkingFolder.GetLength() == 2 && invocation.WorkingFolder.GetText()[1] == L':') {
    invocation.WorkingFolder.Append(L"\\");
  }
  if (options.Has(L"diagnostic")) {
    WriteLog(L"[INFO] Diagnostic mode enabled.");
    invocation.CommandLine.Append(L" diagnostic");
  }
  if (DetachRequested) invocation.CommandLine.Append(L" detach");
  WriteLog(L"[INFO] will execute process: %s", invocation.CommandLine.GetText());
  return ToolPreparation::Ready;
}

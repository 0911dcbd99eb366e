#include "tool/ToolInvocation.h"

#include <windows.h>

#include <cwchar>

#include "base/OwnImage.h"
#include "base/SystemLibraries.h"
#include "base/ToolFileName.h"
#include "log/Log.h"
#include "tool/OutputDecisions.h"
#include "tool/ToolPaths.h"
#include "tool/ToolVersion.h"

namespace {

bool Exists(const mw::String& path) { return SystemLibraries::PathFileExistsW(path.GetText()) != FALSE; }

// A trailing backslash before the closing quote would escape the quote.
void StripTrailingBackslashes(mw::PathString& folder) {
  std::uint32_t length = folder.GetLength();
  while (length != 0 && folder.GetText()[length - 1] == L'\\') --length;
  folder.GetBuffer(mw::MeasureText);
  folder.ReleaseBuffer(length);
}

// True when detach was asked for but the tool is too old for it.
bool DecideDetach(const OptionSet& options, bool detachPossible, const ToolVersion& version) {
  DetachRequested = options.Has(L"detach") && detachPossible;
  WriteLog(L"[INFO] Detach parameter: %s.", BoolText(DetachRequested));
  if (!DetachRequested) return false;
  if (IsDetachSupported(version)) {
    WriteLog(L"[INFO] Detach is supported.");
    return false;
  }
  WriteLog(L"[WARNING] Detach is not supported - option is skipped.");
  DetachRequested = false;
  return true;
}

bool DecideOldPackage(const ToolInvocation& invocation, const ToolVersion& version) {
  if (!Exists(invocation.OldPackagePath)) return false;
  if (!version.ReadOk) {
    WriteLog(L"[ERROR] Could not read %s fileversion, defaulting to new encryption method!", ToolFileName);
    return false;
  }
  WriteLog(L"[INFO] %s fileversion: %d.%d.%d.%d", ToolFileName, version.Major, version.Minor, version.Build,
           version.Revision);
  const bool useOld = UsesOldPackage(version);
  WriteLog(L"[INFO] use old: %s", BoolText(useOld));
  return useOld;
}

}  // namespace

void GetLauncherFolderWithBackslash(mw::PathString& folder) {
  HeapBlock path;
  if (OwnProgramPath(path) != 0) {
    folder = L"";
    return;
  }
  const auto* text = static_cast<const wchar_t*>(path.Get());
  const auto length = static_cast<std::uint32_t>(std::wcslen(text));
  // A name longer than the folder's room is kept cut at it, as a module-name
  // query into that room leaves it.
  if (length >= folder.GetCapacity()) {
    folder.Assign(text, folder.GetCapacity());
    return;
  }
  folder = text;
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

ToolPreparation PrepareToolInvocation(const mw::String& installPath, const OptionSet& options, bool detachPossible,
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
  invocation.DetachNotSupported = DecideDetach(options, detachPossible, version);
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

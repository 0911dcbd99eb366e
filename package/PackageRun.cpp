#include "package/PackageRun.h"

#include <optional>
#include <string>
#include <vector>

#include "package/EntryExtraction.h"
#include "package/ErrorLine.h"
#include "package/LauncherStart.h"
#include "package/PackageArguments.h"
#include "package/PackageFile.h"
#include "package/PayloadDigest.h"
#include "package/PayloadEntries.h"
#include "package/PayloadLocation.h"
#include "package/StagingFolder.h"

// Ways out:
//   1620 (ERROR_INSTALL_PACKAGE_INVALID) when the payload is missing, cut or
//        damaged: found before anything is created or written
//   1603 (ERROR_INSTALL_FAILURE) when the staging folder cannot be made, a
//        file cannot be written into it or the launcher cannot be started
//   otherwise the launcher's exit code, all 32 bits of it
// Each failure writes one line on standard error.

namespace {

DWORD Damaged() {
  WriteErrorLine(L"The patch package is damaged. Error code: 1620.");
  return ERROR_INSTALL_PACKAGE_INVALID;
}

}  // namespace

DWORD RunPackage(const wchar_t* commandLine) {
  PackageFile package;
  if (!package.Open()) return Damaged();
  const std::optional<PayloadLocation> payload = LocatePayload(package);
  if (!payload || !BodyMatchesDigest(package, *payload)) return Damaged();
  const std::optional<std::vector<PayloadEntry>> entries = ReadEntries(package, *payload);
  if (!entries) return Damaged();

  // A fresh folder that the package never removes: after a detach the
  // patching tool goes on reading the patch from it.
  const StagingFolder folder = CreateStagingFolder();
  if (!folder.Created) {
    WriteErrorLine(L"Could not create the folder " + folder.Path + L" for the patch package.");
    return ERROR_INSTALL_FAILURE;
  }
  for (const PayloadEntry& entry : *entries) {
    const ExtractionResult extracted = ExtractEntry(package, entry, folder.Path);
    // The digest matched, so only a packer fault gets here.
    if (extracted.Result == ExtractionResult::Outcome::Damaged) return Damaged();
    if (extracted.Result == ExtractionResult::Outcome::WriteFailed) {
      WriteErrorLine(L"Could not write " + entry.Name + L" into the folder " + folder.Path +
                     L". Error code: " + std::to_wstring(extracted.Error) + L".");
      return ERROR_INSTALL_FAILURE;
    }
  }

  SetEnvironmentVariableW(L"SFXCMD", PackageArguments(commandLine).c_str());
  const LauncherRun run = RunLauncher(folder.Path);
  if (!run.Started) {
    WriteErrorLine(std::wstring(L"Could not start ") + LauncherFileName + L". Error code: " +
                   std::to_wstring(run.Error) + L".");
    return ERROR_INSTALL_FAILURE;
  }
  return run.ExitCode;
}

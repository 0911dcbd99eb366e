#include "package/PackageRun.h"

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
  PayloadLocation payload;
  if (!LocatePayload(package, payload) || !BodyMatchesDigest(package, payload)) return Damaged();
  PayloadEntries entries;
  if (!ReadEntries(package, payload, entries)) return Damaged();

  // A fresh folder that the package never removes: after a detach the
  // patching tool goes on reading the patch from it.
  const StagingFolder folder = CreateStagingFolder();
  if (!folder.Created) {
    WriteErrorLine(L"Could not create the folder %ls for the patch package.", folder.Path);
    return ERROR_INSTALL_FAILURE;
  }
  for (std::size_t index = 0; index < entries.Count; ++index) {
    const PayloadEntry& entry = entries.Entries[index];
    const ExtractionResult extracted = ExtractEntry(package, entry, folder.Path);
    // The digest matched, so only a packer fault gets here.
    if (extracted.Result == ExtractionResult::Outcome::Damaged) return Damaged();
    if (extracted.Result == ExtractionResult::Outcome::WriteFailed) {
      WriteErrorLine(L"Could not write %hs into the folder %ls. Error code: %lu.", entry.Name, folder.Path,
                     extracted.Error);
      return ERROR_INSTALL_FAILURE;
    }
  }

  SetEnvironmentVariableW(L"SFXCMD", PackageArguments(commandLine));
  const LauncherRun run = RunLauncher(folder.Path);
  if (!run.Started) {
    WriteErrorLine(L"Could not start %ls. Error code: %lu.", LauncherFileName, run.Error);
    return ERROR_INSTALL_FAILURE;
  }
  return run.ExitCode;
}

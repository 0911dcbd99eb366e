#include "package/PackageRun.h"

#include "base/OwnImage.h"
#include "package/EntryExtraction.h"
#include "package/ErrorLine.h"
#include "package/LauncherStart.h"
#include "package/PackageArguments.h"
#include "package/PackageFile.h"
#include "package/PayloadEntries.h"
#include "package/PayloadSeal.h"
#include "package/PayloadStream.h"
#include "package/StagingFolder.h"

// Ways out, each marked "Exit:" below:
//   1620 (ERROR_INSTALL_PACKAGE_INVALID) when the package's bytes are wrong:
//        no seal, a payload cut, changed or inconsistent, or one that is not
//        the payload this image was sealed with
//   1603 (ERROR_INSTALL_FAILURE) when the machine fails a step: opening or
//        reading the package, memory, the SHA-256, the staging folder, a
//        file in it or its hold, SFXCMD, starting or waiting for the launcher
//   otherwise the launcher's exit code, all 32 bits of it
// Each failure writes one line on standard error. Until the launcher has
// started, a failure removes everything the package wrote: a damaged
// package leaves nothing behind and runs nothing.

namespace {

DWORD Damaged() {
  WriteErrorLine(L"The patch package is damaged. Error code: 1620.");
  return ERROR_INSTALL_PACKAGE_INVALID;
}

// The line and exit code of a step of reading or extracting the payload
// that did not succeed; `entry` is the file that was being written into
// `folder`.
DWORD NotExtracted(const StepResult& result, const PackageFile& package, const char* entry, const wchar_t* folder) {
  using Step = StepResult::Step;
  if (result.What == StepResult::Kind::Damaged) return Damaged();  // Exit: damaged.
  if (result.Where == Step::ComputeDigest) {
    WriteErrorLine(L"Could not compute the SHA-256 of the patch package. Error code: %lu.", result.Error);
  } else if (result.Where == Step::WriteFile) {
    WriteErrorLine(L"Could not write %hs into the folder %ls. Error code: %lu.", entry, folder, result.Error);
  } else {
    WriteErrorLine(L"Could not read the patch package %ls. Error code: %lu.", package.Path(), result.Error);
  }
  return ERROR_INSTALL_FAILURE;  // Exit: the machine failed the extraction.
}

// Reads the payload once, writing each entry into the folder as it comes,
// and only then compares the whole with the seal. `entry` names the entry
// last begun.
StepResult ExtractPayload(PayloadStream& stream, const PayloadSeal& seal, StagingFolder& folder, const char*& entry) {
  PayloadEntries entries(seal.ExtractedSize);
  while (stream.Left() != 0) {
    PayloadEntry next;
    if (StepResult read = entries.ReadNext(stream, next); !read.IsDone()) return read;
    entry = next.Name;
    HANDLE output = nullptr;
    if (const DWORD error = folder.NewFile(next.Name, output)) {
      return StepResult::Failed(StepResult::Step::WriteFile, error);
    }
    if (StepResult written = ExtractEntry(stream, next, output); !written.IsDone()) return written;
  }
  if (StepResult complete = entries.CheckComplete(); !complete.IsDone()) return complete;
  return stream.Finish(seal.Digest);
}

}  // namespace

DWORD RunPackage(const wchar_t* commandLine) {
  PayloadSeal seal;
  if (!ReadPayloadSeal(GetModuleHandleW(nullptr), seal)) return Damaged();  // Exit: no seal.
  HeapBlock path;
  PackageFile package;
  DWORD error = OwnProgramPath(path);
  if (error == 0) error = package.Open(static_cast<const wchar_t*>(path.Get()));
  if (error != 0) {
    WriteErrorLine(L"Could not open the patch package %ls. Error code: %lu.", package.Path(), error);
    return ERROR_INSTALL_FAILURE;  // Exit: the package's file cannot be opened.
  }
  if (StepResult room = CheckPayloadRoom(package, seal); !room.IsDone()) {
    return NotExtracted(room, package, "", L"");  // Exit: cut, or more than packed.
  }
  // Before the folder, so that a missing SHA-256 says so.
  PayloadStream stream(package, seal.PayloadOffset, seal.PayloadSize);
  if (StepResult started = stream.Start(); !started.IsDone()) {
    return NotExtracted(started, package, "", L"");  // Exit: no memory, or no SHA-256.
  }

  StagingFolder folder;
  if ((error = folder.Create()) != 0) {
    WriteErrorLine(L"Could not create the folder %ls for the patch package. Error code: %lu.", folder.Path(), error);
    return ERROR_INSTALL_FAILURE;  // Exit: no staging folder.
  }
  const char* entry = "";
  if (StepResult extracted = ExtractPayload(stream, seal, folder, entry); !extracted.IsDone()) {
    folder.Remove();
    return NotExtracted(extracted, package, entry, folder.Path());  // Exit: damaged, or a failed read or write.
  }
  if ((error = folder.HoldFiles(entry)) != 0) {
    folder.Remove();
    WriteErrorLine(L"Could not hold %hs in the folder %ls. Error code: %lu.", entry, folder.Path(), error);
    return ERROR_INSTALL_FAILURE;  // Exit: the files cannot be held.
  }

  // Without it the launcher would read whatever SFXCMD the caller had.
  if (!SetEnvironmentVariableW(L"SFXCMD", PackageArguments(commandLine))) {
    error = GetLastError();
    folder.Remove();
    WriteErrorLine(L"Could not hand the arguments to %ls in SFXCMD. Error code: %lu.", LauncherFileName, error);
    return ERROR_INSTALL_FAILURE;  // Exit: no SFXCMD.
  }
  const LauncherRun run = RunStagedLauncher(folder.Path());
  switch (run.Result) {
    case LauncherRun::Outcome::NotStarted:
      folder.Remove();
      WriteErrorLine(L"Could not start %ls. Error code: %lu.", LauncherFileName, run.Error);
      return ERROR_INSTALL_FAILURE;  // Exit: the launcher cannot be started.
    case LauncherRun::Outcome::WaitFailed:
      WriteErrorLine(L"Could not wait for %ls to end. Error code: %lu.", LauncherFileName, run.Error);
      return ERROR_INSTALL_FAILURE;  // Exit: the launcher's end is unknown.
    case LauncherRun::Outcome::Ended:
      break;
  }
  // Nothing is left after a run that waited for the tool; after a detach the
  // tool still uses the folder, and a later package run removes it.
  folder.Remove();
  return run.ExitCode;  // Exit: the launcher's own.
}

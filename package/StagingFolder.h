#pragma once

#include <windows.h>

#include <cstddef>

#include "base/NtFileOpen.h"
#include "base/UniqueHolder.h"

// The temporary folder (at most MAX_PATH units), a separator, the staging
// name and the terminator, with room to spare.
inline constexpr int StagingPathUnits = MAX_PATH + 64;

// The folder the package extracts to: %TEMP%\ValcrestPatch-<32 hex digits>
// (for SYSTEM, %SystemRoot%\SystemTemp where the system has it). It becomes
// the launcher's folder, the patching tool's working folder and the first
// entry of its PATH, and the package may run as SYSTEM, whose temporary
// folder every user can write. So the name is 128 bits from the system's
// random generator; the folder is created new and opened in one call, with
// the protected descriptor of StagingFolderDescriptor, never a folder, file
// or link that exists already (a taken name means a new name, a few times);
// and it is held open without delete sharing until this object goes, so
// that nobody can rename it or put another in its place meanwhile. Removed
// when the package ends, unless a detached tool still uses it.
class StagingFolder {
 public:
  StagingFolder() = default;
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  // 0, or the system's error of the last attempt.
  DWORD Create();

  // When it was created, its path; else the last name tried, for the
  // console line ("%TEMP%\ValcrestPatch" when there was none).
  const wchar_t* Path() const { return FolderPath; }

  // A new file `name` (ASCII, one of the payload's names) in the folder,
  // open for writing until HoldFiles or Remove. 0 or the system's error.
  DWORD NewFile(const char* name, HANDLE& file);

  // Reopens each file written for reading only, others sharing it only to
  // read, and holds it until Remove or the end: nobody can change, rename or
  // replace what the launcher runs and reads while it runs. 0, or the
  // system's error with the file's name in `name`.
  DWORD HoldFiles(const char*& name);

  // Lets the files and the folder go and removes them, through handles
  // (package/StagingFolderRemoval.h); what is still in use, as after a
  // detach, stays for a later package run to remove.
  void Remove();

 private:
  DWORD OpenInFolder(const char* name, const NtOpenRequest& request, mw::UniqueHandle& opened);

  static constexpr std::size_t MostFiles = 3;
  wchar_t FolderPath[StagingPathUnits] = {};
  mw::UniqueHandle Folder;
  mw::UniqueHandle Files[MostFiles];
  const char* FileNames[MostFiles] = {};
  std::size_t FileCount = 0;
};

#pragma once

#include <windows.h>

// The temporary folder (at most MAX_PATH units), a separator, the staging
// name and the terminator, with room to spare.
inline constexpr int StagingPathUnits = MAX_PATH + 64;

// The folder the package extracts to.
struct StagingFolder {
  wchar_t Path[StagingPathUnits] = {};  // when not created: the last name tried, for the console line
  bool Created = false;
};

// Creates %TEMP%\ValcrestPatch-<32 hex digits>: it becomes the launcher's
// folder, the patching tool's working folder and the first entry of its
// PATH, and the package may run as SYSTEM, whose temporary folder every user
// can write. So the name is 128 bits from the system's random generator,
// the folder is created in one call with the protected descriptor of
// StagingFolderDescriptor, and it is never a folder, file or link that
// exists already: a taken name means a new name, a few times.
StagingFolder CreateStagingFolder();

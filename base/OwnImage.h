#pragma once

#include <windows.h>

#include "base/HeapBlock.h"
#include "base/UniqueHolder.h"

// The path the running program was started from, in `path`, in a buffer
// long enough for any path: 0, or the system's error when it cannot be read.
DWORD OwnProgramPath(HeapBlock& path);

// The file of the running program's own image, held open: others may read it,
// but nobody can change, rename or replace it while it is held. A running
// program's file can be renamed and another put under its name, and the
// path is read again to open it: the file found there is held only when it
// is the very file this image was mapped from.
class OwnImageFile {
 public:
  // 0, or the system's error, which Error() keeps; ERROR_FILE_INVALID when
  // the file at the path is not this image's.
  DWORD Hold();

  // The held file's path; empty while nothing is held.
  const wchar_t* Path() const { return File ? static_cast<const wchar_t*>(PathText.Get()) : L""; }
  // Why nothing is held: Hold's error, or ERROR_INVALID_HANDLE before it.
  DWORD Error() const { return HoldError; }

 private:
  DWORD Open();

  HeapBlock PathText;
  mw::UniqueFileHandle File;
  DWORD HoldError = ERROR_INVALID_HANDLE;
};

#pragma once

#include <windows.h>

#include <winternl.h>

#include <cstddef>

#include "base/UniqueHolder.h"

// What NtCreateFile is asked for: access, sharing, what to do when the name
// exists or not (FILE_CREATE, FILE_OPEN), its options (FILE_DIRECTORY_FILE,
// FILE_NON_DIRECTORY_FILE, ...) and, for a new file or folder, its security.
struct NtOpenRequest {
  ACCESS_MASK Access;
  ULONG Share;
  ULONG Disposition;
  ULONG Options;
  PSECURITY_DESCRIPTOR Security = nullptr;
};

inline constexpr NTSTATUS NtNameCollision = static_cast<NTSTATUS>(0xC0000035);  // STATUS_OBJECT_NAME_COLLISION

// Opens or creates `name` inside the open folder `folder`, not by a path that
// is looked up again: whatever is put at the folder's path meanwhile, the
// file is where the folder is. With a null folder, `name` is an NT path
// ("\??\C:\..."). Every call is synchronous (FILE_SYNCHRONOUS_IO_NONALERT is
// added). The status, and on success the handle in `opened`.
NTSTATUS NtOpenInFolder(HANDLE folder, const wchar_t* name, const NtOpenRequest& request, mw::UniqueHandle& opened);

// The NT name of a DOS path: "\??\C:\..." or "\??\UNC\server\..." ("\\?\" paths
// keep what follows it). False when it does not fit `units`.
bool NtPathOf(const wchar_t* path, wchar_t* ntPath, std::size_t units);

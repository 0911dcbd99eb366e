#include "log/LogFileOpen.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cwchar>

#include "base/FinalPath.h"
#include "base/NtFileOpen.h"
#include "base/ObjectTrust.h"
#include "base/UniqueHolder.h"

namespace {

// FILE_OPEN_REPARSE_POINT opens a link of that name itself rather than its
// target, so that the checks below see it.
NTSTATUS OpenInFolder(HANDLE folder, const wchar_t* name, ULONG disposition, mw::UniqueHandle& file) {
  // Appending only: the run can add to a log but never overwrite one.
  const NtOpenRequest request{FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL, FILE_SHARE_READ, disposition,
                              FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT};
  return NtOpenInFolder(folder, name, request, file);
}

}  // namespace

// A name of its own in the folder is always safe. An existing one may be a
// link, or a second name of someone else's file, that makes the launcher
// write where it chooses.
bool IsUsableLogFile(DWORD attributes, DWORD links, PSECURITY_DESCRIPTOR owner, bool createdByThisRun,
                     PSID launcherUser) {
  if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (links != 1) return false;
  return createdByThisRun || IsTrustedOwner(owner, launcherUser);
}

std::FILE* OpenLogFileIn(HANDLE folder, const wchar_t* name, const wchar_t* path, const ProcessAccount& user) {
  mw::UniqueHandle file;
  bool created = true;
  NTSTATUS status = OpenInFolder(folder, name, FILE_CREATE, file);
  // Two runs with the same process id in the same second share one file.
  if (status == NtNameCollision) {
    created = false;
    status = OpenInFolder(folder, name, FILE_OPEN, file);
  }
  if (status < 0) return nullptr;

  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.Get(), &information)) return nullptr;
  const mw::LocalMemory owner = ReadOwner(file.Get());
  if (!IsUsableLogFile(information.dwFileAttributes, information.nNumberOfLinks, owner.Get(), created, user.Sid()) ||
      !IsAtPath(file.Get(), path)) {
    return nullptr;
  }

  if (information.nFileSizeHigh == 0 && information.nFileSizeLow == 0) {
    DWORD written = 0;
    if (!WriteFile(file.Get(), "\xEF\xBB\xBF", 3, &written, nullptr) || written != 3) return nullptr;
  }
  return LogStreamOver(file);
}

std::FILE* LogStreamOver(mw::UniqueHandle& file) {
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(file.Get()), _O_APPEND);
  if (descriptor == -1) return nullptr;
  static_cast<void>(file.Take());  // the descriptor owns the handle now
  std::FILE* stream = _wfdopen(descriptor, L"a");
  if (stream == nullptr) {
    _close(descriptor);
    return nullptr;
  }
  _setmode(descriptor, _O_U8TEXT);
  return stream;
}

#include "log/LogFileOpen.h"

#include <fcntl.h>
#include <io.h>
#include <winternl.h>

#include <cstdint>
#include <cwchar>

#include "base/ProcAddress.h"
#include "base/UniqueHolder.h"

namespace {

constexpr NTSTATUS NameCollision = static_cast<NTSTATUS>(0xC0000035);  // STATUS_OBJECT_NAME_COLLISION

// Opens `name` in the folder itself, not by a path that is looked up again:
// whatever is put at the folder's path meanwhile, the file is created where
// the folder was checked. FILE_OPEN_REPARSE_POINT opens a link of that name
// itself rather than its target, so that the checks below see it.
NTSTATUS OpenInFolder(HANDLE folder, const wchar_t* name, ULONG disposition, mw::UniqueHandle& file) {
  using NtCreateFileFunction = decltype(&NtCreateFile);
  static const auto ntCreateFile =
      mw::ProcAddress<NtCreateFileFunction>(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile");
  if (ntCreateFile == nullptr) return static_cast<NTSTATUS>(0xC0000002);  // STATUS_NOT_IMPLEMENTED

  UNICODE_STRING objectName{};
  objectName.Buffer = const_cast<wchar_t*>(name);
  objectName.Length = static_cast<USHORT>(std::wcslen(name) * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK status{};
  HANDLE opened = nullptr;
  // Appending only: the run can add to a log but never overwrite one.
  const NTSTATUS result =
      ntCreateFile(&opened, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE, &attributes, &status,
                   nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, disposition,
                   FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (result >= 0) file.Reset(opened);
  return result;
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

std::FILE* OpenLogFileIn(HANDLE folder, const wchar_t* name, const wchar_t* path, const LauncherUser& user) {
  mw::UniqueHandle file;
  bool created = true;
  NTSTATUS status = OpenInFolder(folder, name, FILE_CREATE, file);
  // Two runs with the same process id in the same second share one file.
  if (status == NameCollision) {
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

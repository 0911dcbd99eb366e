#include "package/StagingFolder.h"

#include <cstdio>
#include <cwchar>
#include <iterator>

#include "base/HexText.h"
#include "base/NtStatusError.h"
#include "base/ProcAddress.h"
#include "base/ProcessAccount.h"
#include "base/SystemRandom.h"
#include "package/StagingFolderRemoval.h"
#include "package/StagingFolderSecurity.h"

namespace {

constexpr int Attempts = 5;
// "ValcrestPatch-", 32 digits and the terminator.
constexpr int NameUnits = 48;
// The payload's longest name and its terminator.
constexpr int FileNameUnits = 32;

// The temporary folder without its last separator; false when the system
// has none that fits MAX_PATH. GetTempPath2W (Windows 11, and Windows 10
// with its 2022 updates) gives SYSTEM a folder of its own that other users
// cannot write, where GetTempPathW gives everyone's C:\Windows\Temp.
bool TempFolder(wchar_t (&folder)[MAX_PATH + 1]) {
  using GetTempPathFunction = DWORD(WINAPI*)(DWORD, wchar_t*);
  auto getTempPath = mw::ProcAddress<GetTempPathFunction>(GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W");
  if (getTempPath == nullptr) getTempPath = &GetTempPathW;
  const DWORD length = getTempPath(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return false;
  if (folder[length - 1] == L'\\') folder[length - 1] = L'\0';
  return true;
}

// "ValcrestPatch-" and 32 hex digits; 0 or the generator's error.
DWORD RandomName(wchar_t (&name)[NameUnits]) {
  unsigned char random[16];
  if (const DWORD error = FillWithSystemRandom(random, sizeof random)) return error;
  wcscpy_s(name, NameUnits, L"ValcrestPatch-");
  WriteHex(random, sizeof random, HexCase::Upper, name + wcslen(name));
  return 0;
}

}  // namespace

DWORD StagingFolder::Create() {
  wchar_t temp[MAX_PATH + 1] = {};
  const bool haveTemp = TempFolder(temp);
  _snwprintf_s(FolderPath, StagingPathUnits, _TRUNCATE, L"%ls\\ValcrestPatch", haveTemp ? temp : L"%TEMP%");
  if (!haveTemp) return GetLastError() != 0 ? GetLastError() : ERROR_BUFFER_OVERFLOW;
  // Earlier runs' folders first: nothing piles up, whatever ended those runs.
  RemoveUnusedStagingFolders(temp);
  const ProcessAccount account;
  const mw::LocalMemory sid = account.SidText();
  const mw::LocalMemory descriptor =
      StagingFolderDescriptor(static_cast<const wchar_t*>(sid.Get()), account.IsAdministrator());
  if (!descriptor) return GetLastError() != 0 ? GetLastError() : ERROR_INVALID_SECURITY_DESCR;

  // Others may read and write in it as its descriptor allows (and open it
  // as their working folder, which shares no deletion either), but nobody
  // can delete or rename it while it is held.
  const NtOpenRequest request{FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              FILE_CREATE, FILE_DIRECTORY_FILE, descriptor.Get()};
  DWORD error = 0;
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    wchar_t name[NameUnits];
    if ((error = RandomName(name)) != 0) return error;
    _snwprintf_s(FolderPath, StagingPathUnits, _TRUNCATE, L"%ls\\%ls", temp, name);
    wchar_t ntPath[StagingPathUnits + 8];
    if (!NtPathOf(FolderPath, ntPath, std::size(ntPath))) return ERROR_BUFFER_OVERFLOW;
    // Fails for every name that exists, a dangling link included.
    const NTSTATUS status = NtOpenInFolder(nullptr, ntPath, request, Folder);
    if (status >= 0) return 0;
    error = NtStatusError(status);
    if (status != NtNameCollision) return error;
  }
  return error;
}

DWORD StagingFolder::OpenInFolder(const char* name, const NtOpenRequest& request, mw::UniqueHandle& opened) {
  wchar_t wideName[FileNameUnits];
  if (swprintf_s(wideName, FileNameUnits, L"%hs", name) < 0) return ERROR_INVALID_NAME;
  if (const NTSTATUS status = NtOpenInFolder(Folder.Get(), wideName, request, opened); status < 0) {
    return NtStatusError(status);
  }
  return 0;
}

DWORD StagingFolder::NewFile(const char* name, HANDLE& file) {
  if (FileCount == MostFiles) return ERROR_TOO_MANY_OPEN_FILES;
  // Made new in the held folder itself: it takes the folder's rights, and
  // nothing that is there already is written through.
  const NtOpenRequest request{GENERIC_WRITE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE};
  if (const DWORD error = OpenInFolder(name, request, Files[FileCount])) return error;
  FileNames[FileCount] = name;
  file = Files[FileCount++].Get();
  return 0;
}

DWORD StagingFolder::HoldFiles(const char*& name) {
  // Through the held folder again, which nobody but its owners can write in
  // meanwhile; the writer goes first, since running a program needs all
  // writers of its file gone.
  const NtOpenRequest request{GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, FILE_NON_DIRECTORY_FILE};
  for (std::size_t index = 0; index < FileCount; ++index) {
    name = FileNames[index];
    Files[index].Close();
    if (const DWORD error = OpenInFolder(name, request, Files[index])) return error;
  }
  return 0;
}

void StagingFolder::Remove() {
  for (mw::UniqueHandle& file : Files) file.Close();
  FileCount = 0;
  if (!Folder) return;
  // Held without the right to delete it, which would keep programs from
  // using it as their working folder: let go, then opened again as itself.
  Folder.Close();
  RemoveStagingFolder(FolderPath);
}

#include "package/StagingFolderRemoval.h"

#include <cstdio>
#include <cwchar>
#include <iterator>

#include "base/FinalPath.h"
#include "base/NtFileOpen.h"
#include "base/ObjectTrust.h"
#include "base/ProcessAccount.h"
#include "package/PayloadFormat.h"
#include "package/StagingFolder.h"

namespace {

constexpr wchar_t StagingPrefix[] = L"ValcrestPatch-";
constexpr std::size_t HexDigits = 32;

bool IsPlainAndOurs(HANDLE object, const wchar_t* path, bool folder) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(object, &information)) return false;
  const bool isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (isFolder != folder || (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  const mw::LocalMemory owner = ReadOwner(object);
  return IsTrustedOwner(owner.Get(), ProcessAccount().Sid()) && IsAtPath(object, path);
}

bool DeleteByHandle(HANDLE object) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(object, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// One of the package's files in the held folder: gone, or never there.
bool RemoveFile(HANDLE folder, const wchar_t* folderPath, const char* name) {
  wchar_t wideName[32];
  wchar_t path[StagingPathUnits + 32];
  if (_snwprintf_s(wideName, std::size(wideName), _TRUNCATE, L"%hs", name) < 0 ||
      _snwprintf_s(path, std::size(path), _TRUNCATE, L"%ls\\%ls", folderPath, wideName) < 0) {
    return false;
  }
  // Without delete sharing of its own: anybody still holding it (to run it,
  // read it or write it) keeps it.
  const NtOpenRequest request{DELETE | FILE_READ_ATTRIBUTES | READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                              FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT};
  mw::UniqueHandle file;
  const NTSTATUS status = NtOpenInFolder(folder, wideName, request, file);
  constexpr NTSTATUS NotThere = static_cast<NTSTATUS>(0xC0000034);  // STATUS_OBJECT_NAME_NOT_FOUND
  if (status == NotThere) return true;
  return status >= 0 && IsPlainAndOurs(file.Get(), path, false) && DeleteByHandle(file.Get());
}

}  // namespace

bool IsStagingFolderName(const wchar_t* name) {
  const std::size_t prefix = std::size(StagingPrefix) - 1;
  if (std::wcsncmp(name, StagingPrefix, prefix) != 0 || std::wcslen(name) != prefix + HexDigits) return false;
  for (const wchar_t* digit = name + prefix; *digit != L'\0'; ++digit) {
    if (!((*digit >= L'0' && *digit <= L'9') || (*digit >= L'A' && *digit <= L'F'))) return false;
  }
  return true;
}

bool RemoveStagingFolder(const wchar_t* path) {
  wchar_t ntPath[StagingPathUnits + 8];
  if (!NtPathOf(path, ntPath, std::size(ntPath))) return false;
  // Without delete sharing: a package that still holds its folder keeps it.
  const NtOpenRequest request{DELETE | FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                              FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT};
  mw::UniqueHandle folder;
  if (NtOpenInFolder(nullptr, ntPath, request, folder) < 0 || !IsPlainAndOurs(folder.Get(), path, true)) return false;
  const char* const names[] = {PayloadFormat::LauncherName, PayloadFormat::PatchName, PayloadFormat::OldPatchName};
  for (const char* name : names) {
    if (!RemoveFile(folder.Get(), path, name)) return false;
  }
  // Only an empty folder goes: anything else in it is not the package's.
  return DeleteByHandle(folder.Get());
}

void RemoveUnusedStagingFolders(const wchar_t* temp) {
  wchar_t pattern[StagingPathUnits];
  if (_snwprintf_s(pattern, std::size(pattern), _TRUNCATE, L"%ls\\%ls*", temp, StagingPrefix) < 0) return;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW(pattern, FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    wchar_t path[StagingPathUnits];
    if (IsStagingFolderName(found.cFileName) &&
        _snwprintf_s(path, std::size(path), _TRUNCATE, L"%ls\\%ls", temp, found.cFileName) > 0) {
      RemoveStagingFolder(path);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

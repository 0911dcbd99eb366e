#include "package/StagingFolder.h"

#include <ntsecapi.h>

#include <cstdio>
#include <cwchar>

#include "package/StagingFolderSecurity.h"

namespace {

constexpr int Attempts = 5;
// "ValcrestPatch-", 32 digits and the terminator.
constexpr int NameUnits = 48;

// The temporary folder without its last separator; false when the system
// has none that fits MAX_PATH.
bool TempFolder(wchar_t (&folder)[MAX_PATH + 1]) {
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return false;
  if (folder[length - 1] == L'\\') folder[length - 1] = L'\0';
  return true;
}

// "ValcrestPatch-" and 32 hex digits; false when the generator fails.
bool RandomName(wchar_t (&name)[NameUnits]) {
  unsigned char random[16];
  if (!RtlGenRandom(random, sizeof random)) return false;
  wcscpy_s(name, NameUnits, L"ValcrestPatch-");
  wchar_t* digit = name + wcslen(name);
  for (unsigned char byte : random) {
    *digit++ = L"0123456789ABCDEF"[byte >> 4];
    *digit++ = L"0123456789ABCDEF"[byte & 15];
  }
  *digit = L'\0';
  return true;
}

}  // namespace

StagingFolder CreateStagingFolder() {
  StagingFolder folder;
  wchar_t temp[MAX_PATH + 1] = {};
  const bool haveTemp = TempFolder(temp);
  _snwprintf_s(folder.Path, StagingPathUnits, _TRUNCATE, L"%ls\\ValcrestPatch", haveTemp ? temp : L"");
  if (!haveTemp) return folder;
  const mw::LocalMemory account = OwnAccountSid();
  const mw::LocalMemory descriptor = StagingFolderDescriptor(static_cast<const wchar_t*>(account.Get()));
  if (!descriptor) return folder;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    wchar_t name[NameUnits];
    if (!RandomName(name)) return folder;
    _snwprintf_s(folder.Path, StagingPathUnits, _TRUNCATE, L"%ls\\%ls", temp, name);
    // Fails for every name that exists, a dangling link included.
    if (CreateDirectoryW(folder.Path, &attributes)) {
      folder.Created = true;
      return folder;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return folder;
  }
  return folder;
}

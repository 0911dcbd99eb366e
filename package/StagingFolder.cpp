#include "package/StagingFolder.h"

#include <windows.h>
#include <ntsecapi.h>

#include "package/StagingFolderSecurity.h"

namespace {

constexpr int Attempts = 5;

std::wstring TempFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() == L'\\') path.pop_back();
  return path;
}

// "ValcrestPatch-" and 32 hex digits; empty when the generator fails.
std::wstring RandomName() {
  unsigned char random[16];
  if (!RtlGenRandom(random, sizeof random)) return {};
  std::wstring name = L"ValcrestPatch-";
  for (unsigned char byte : random) {
    name += L"0123456789ABCDEF"[byte >> 4];
    name += L"0123456789ABCDEF"[byte & 15];
  }
  return name;
}

}  // namespace

StagingFolder CreateStagingFolder() {
  StagingFolder folder;
  const std::wstring temp = TempFolder();
  folder.Path = temp + L"\\ValcrestPatch";
  if (temp.empty()) return folder;
  const mw::LocalMemory descriptor = StagingFolderDescriptor(OwnAccountSid());
  if (!descriptor) return folder;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    const std::wstring name = RandomName();
    if (name.empty()) return folder;
    folder.Path = temp + L"\\" + name;
    // Fails for every name that exists, a dangling link included.
    if (CreateDirectoryW(folder.Path.c_str(), &attributes)) {
      folder.Created = true;
      return folder;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return folder;
  }
  return folder;
}

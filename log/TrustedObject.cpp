#include "log/TrustedObject.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

// The service that owns the system's own files.
constexpr wchar_t TrustedInstallerSid[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTrustedInstaller(PSID sid) {
  PSID trustedInstaller = nullptr;
  if (!ConvertStringSidToSidW(TrustedInstallerSid, &trustedInstaller)) return false;
  const mw::LocalMemory held(trustedInstaller);
  return EqualSid(sid, trustedInstaller) != FALSE;
}

// Without the "\\?\" (or "\\?\UNC\") the system puts before a final path.
std::wstring WithoutLongPathPrefix(const std::wstring& path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) return path.substr(4);
  return path;
}

std::wstring FullPath(const wchar_t* path) {
  const DWORD size = GetFullPathNameW(path, 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path, size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

std::wstring FinalPath(HANDLE object) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(object, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return WithoutLongPathPrefix(path);
    }
    path.resize(length);  // the size it needs, its terminator included
  }
}

}  // namespace

LauncherUser::LauncherUser() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  BOOL member = FALSE;
  Administrator = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
                  CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool IsTrustedOwner(PSECURITY_DESCRIPTOR security, PSID launcherUser) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (security == nullptr || !GetSecurityDescriptorOwner(security, &owner, &defaulted) || owner == nullptr ||
      !IsValidSid(owner)) {
    return false;
  }
  return IsWellKnown(owner, WinLocalSystemSid) || IsWellKnown(owner, WinBuiltinAdministratorsSid) ||
         IsTrustedInstaller(owner) || (launcherUser != nullptr && EqualSid(owner, launcherUser));
}

mw::LocalMemory ReadOwner(HANDLE object) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                      &security) != ERROR_SUCCESS) {
    return {};
  }
  return mw::LocalMemory(security);
}

bool IsAtPath(HANDLE object, const wchar_t* path) {
  const std::wstring actual = FinalPath(object);
  const std::wstring expected = FullPath(path);
  return !actual.empty() && !expected.empty() &&
         CompareStringOrdinal(actual.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

#include "base/ObjectTrust.h"

#include <aclapi.h>

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// NT SERVICE\TrustedInstaller, the service that owns the system's own files:
// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
bool IsTrustedInstaller(PSID sid) {
  static SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID trustedInstaller = nullptr;
  if (!AllocateAndInitializeSid(&nt, 6, 80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u, 0, 0,
                                &trustedInstaller)) {
    return false;
  }
  const bool same = EqualSid(sid, trustedInstaller) != FALSE;
  FreeSid(trustedInstaller);
  return same;
}

// S-1-1-0, made without a call so that it lives for ever.
SID EveryoneSid{SID_REVISION, 1, SECURITY_WORLD_SID_AUTHORITY, {SECURITY_WORLD_RID}};
PSID Everyone() { return &EveryoneSid; }

bool GrantsAccess(const ACE_HEADER* ace) {
  return ace->AceType == ACCESS_ALLOWED_ACE_TYPE || ace->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
}

}  // namespace

mw::LocalMemory ReadOwner(HANDLE object) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                      &security) != ERROR_SUCCESS) {
    return {};
  }
  return mw::LocalMemory(security);
}

bool IsTrustedAccount(PSID sid, PSID ownAccount) {
  if (sid == nullptr || !IsValidSid(sid)) return false;
  return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
         IsTrustedInstaller(sid) || (ownAccount != nullptr && EqualSid(sid, ownAccount));
}

bool IsTrustedOwner(PSECURITY_DESCRIPTOR security, PSID ownAccount) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (security == nullptr || !GetSecurityDescriptorOwner(security, &owner, &defaulted)) return false;
  return IsTrustedAccount(owner, ownAccount);
}

PSID UntrustedChanger(PSECURITY_DESCRIPTOR security, PSID ownAccount, ACCESS_MASK rights) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (security == nullptr || !GetSecurityDescriptorOwner(security, &owner, &defaulted) || owner == nullptr) {
    return Everyone();
  }
  if (!IsTrustedAccount(owner, ownAccount)) return owner;
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted)) return Everyone();
  // No access list at all lets everybody do everything.
  if (!present || dacl == nullptr) return Everyone();
  GENERIC_MAPPING fileRights{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) return Everyone();
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (!GrantsAccess(header) || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    // Allowed and allowed-callback entries begin alike: the mask, then the SID.
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    ACCESS_MASK granted = allowed->Mask;
    MapGenericMask(&granted, &fileRights);
    const PSID grantee = const_cast<DWORD*>(&allowed->SidStart);
    if ((granted & rights) != 0 && !IsTrustedAccount(grantee, ownAccount)) return grantee;
  }
  return nullptr;
}

#include "base/ProcessAccount.h"

#include <sddl.h>

#include <utility>

ProcessAccount::ProcessAccount() {
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  BOOL member = FALSE;
  Administrator = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
                  CheckTokenMembership(nullptr, administrators, &member) && member;
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return;
  const mw::UniqueHandle token(opened);
  DWORD size = 0;
  // Only asks for the size, so its failure is expected.
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return;
  HeapBlock user = AllocateHeapBlock(size);
  if (user && GetTokenInformation(token.Get(), TokenUser, user.Get(), size, &size)) UserInformation = std::move(user);
}

PSID ProcessAccount::Sid() const {
  return UserInformation ? static_cast<const TOKEN_USER*>(UserInformation.Get())->User.Sid : nullptr;
}

mw::LocalMemory ProcessAccount::SidText() const {
  wchar_t* text = nullptr;
  if (Sid() == nullptr || !ConvertSidToStringSidW(Sid(), &text)) return {};
  return mw::LocalMemory(text);
}

#include "package/StagingFolderSecurity.h"

#include <sddl.h>

#include <cstdio>

#include "base/HeapBlock.h"

mw::LocalMemory OwnAccountSid() {
  HANDLE tokenValue = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenValue)) return {};
  const mw::UniqueHandle token(tokenValue);
  DWORD size = 0;
  // Only asks for the size, so its failure is expected.
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  // The heap aligns its blocks for any type, the SID inside included.
  const HeapBlock user = AllocateHeapBlock(size);
  if (!user || !GetTokenInformation(token.Get(), TokenUser, user.Get(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(static_cast<TOKEN_USER*>(user.Get())->User.Sid, &text)) return {};
  return mw::LocalMemory(text);
}

mw::LocalMemory StagingFolderDescriptor(const wchar_t* account) {
  if (account == nullptr || *account == L'\0') return {};
  // A SID text has at most 15 sub-authorities of 10 digits: far below this.
  constexpr int SddlUnits = 512;
  wchar_t sddl[SddlUnits];
  if (_snwprintf_s(sddl, SddlUnits, _TRUNCATE, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%ls)", account) < 0) {
    return {};
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return {};
  return mw::LocalMemory(descriptor);
}

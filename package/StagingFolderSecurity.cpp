#include "package/StagingFolderSecurity.h"

#include <sddl.h>

#include <vector>

std::wstring OwnAccountSid() {
  HANDLE tokenValue = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenValue)) return {};
  const mw::UniqueHandle token(tokenValue);
  DWORD size = 0;
  // Only asks for the size, so its failure is expected.
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  // DWORD elements keep the SID inside it aligned.
  std::vector<DWORD> user((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) return {};
  wchar_t* textValue = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &textValue)) return {};
  const mw::LocalMemory text(textValue);
  return textValue;
}

mw::LocalMemory StagingFolderDescriptor(const std::wstring& account) {
  if (account.empty()) return {};
  const std::wstring sddl = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + account + L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return {};
  }
  return mw::LocalMemory(descriptor);
}

#include "tests/support/AccessEntries.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <cwchar>

namespace testing_support {

mw::LocalMemory DescriptorFromText(std::wstring text, const std::wstring& self) {
  for (std::size_t at; (at = text.find(L"{self}")) != std::wstring::npos;) text.replace(at, 6, self);
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &security, nullptr)) {
    ADD_FAILURE() << testing::PrintToString(text);
    return {};
  }
  return mw::LocalMemory(security);
}

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidW(sid, &text)) return {};
  const mw::LocalMemory held(text);
  return text;
}

std::vector<std::wstring> AccessEntries(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present || list == nullptr) return {};
  std::vector<std::wstring> entries;
  for (DWORD index = 0; index < list->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(list, index, &entry)) return {};
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    wchar_t* sid = nullptr;
    if (!ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &sid)) return {};
    const mw::LocalMemory heldSid(sid);
    wchar_t text[64];
    std::swprintf(text, 64, L"%u 0x%X 0x%lX ", allowed->Header.AceType, allowed->Header.AceFlags, allowed->Mask);
    entries.push_back(text + std::wstring(sid));
  }
  return entries;
}

}  // namespace testing_support

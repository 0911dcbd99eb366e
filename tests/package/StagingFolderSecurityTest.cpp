#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "package/StagingFolderSecurity.h"

namespace {

// Each entry of a descriptor's access list as "type flags mask SID".
std::vector<std::wstring> EntriesOf(PSECURITY_DESCRIPTOR descriptor) {
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
    wchar_t text[64];
    swprintf(text, 64, L"%u 0x%X 0x%lX ", allowed->Header.AceType, allowed->Header.AceFlags, allowed->Mask);
    entries.push_back(text + std::wstring(sid));
    LocalFree(sid);
  }
  return entries;
}

// Under Wine a folder's descriptor reads back as mode bits, without the
// protected flag: the descriptor the package creates its folder with is
// checked as data here.
TEST(StagingFolderSecurity, IsProtectedAndGivesFullControlToSystemAdministratorsAndTheOwnAccountOnly) {
  const mw::LocalMemory ownText = OwnAccountSid();
  const std::wstring own = ownText ? static_cast<const wchar_t*>(ownText.Get()) : L"";
  ASSERT_EQ(own.rfind(L"S-1-", 0), 0u) << own.size();
  const mw::LocalMemory descriptor = StagingFolderDescriptor(own.c_str());
  ASSERT_TRUE(descriptor);

  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.Get(), &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0);

  // Allowed (0), inherited by files and folders inside (0x3) but not itself
  // inherited (no 0x10), full control (FILE_ALL_ACCESS).
  const std::wstring fullControl = L"0 0x3 0x1F01FF ";
  EXPECT_EQ(EntriesOf(descriptor.Get()),
            (std::vector<std::wstring>{fullControl + L"S-1-5-18", fullControl + L"S-1-5-32-544", fullControl + own}));

  EXPECT_FALSE(StagingFolderDescriptor(L"")) << "a folder without its own account's entry";
}

}  // namespace

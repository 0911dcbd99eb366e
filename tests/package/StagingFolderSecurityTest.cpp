#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/ProcessAccount.h"
#include "package/StagingFolderSecurity.h"
#include "tests/support/AccessEntries.h"

namespace {

// The mandatory label of a descriptor as "flags mask SID", such as
// "0x3 0x1 S-1-16-12288"; empty when it has none.
std::wstring Label(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (!GetSecurityDescriptorSacl(descriptor, &present, &list, &defaulted) || !present || list == nullptr) return {};
  void* entry = nullptr;
  if (list->AceCount != 1 || !GetAce(list, 0, &entry)) return {};
  const auto* label = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(entry);
  if (label->Header.AceType != SYSTEM_MANDATORY_LABEL_ACE_TYPE) return {};
  wchar_t text[32];
  std::swprintf(text, 32, L"0x%X 0x%lX ", label->Header.AceFlags, label->Mask);
  return text + testing_support::SidText(const_cast<DWORD*>(&label->SidStart));
}

// Under Wine a folder's descriptor reads back as mode bits, without the
// protected flag or a label: the descriptor the package creates its folder
// with is checked as data here.
TEST(StagingFolderSecurity, GrantsSystemAndAdministratorsAndOnlyANonElevatedAccountItself) {
  const mw::LocalMemory ownText = ProcessAccount().SidText();
  const std::wstring own = ownText ? static_cast<const wchar_t*>(ownText.Get()) : L"";
  ASSERT_EQ(own.rfind(L"S-1-", 0), 0u) << own.size();
  // Allowed (0), inherited by files and folders inside (0x3) but not itself
  // inherited (no 0x10), full control (FILE_ALL_ACCESS).
  const std::wstring fullControl = L"0 0x3 0x1F01FF ";
  const std::vector<std::wstring> administrators = {fullControl + L"S-1-5-18", fullControl + L"S-1-5-32-544"};

  for (const bool elevated : {true, false}) {
    SCOPED_TRACE(elevated ? "SYSTEM or an elevated administrator" : "no administrative rights");
    const mw::LocalMemory descriptor = StagingFolderDescriptor(own.c_str(), elevated);
    ASSERT_TRUE(descriptor);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.Get(), &control, &revision));
    EXPECT_NE(control & SE_DACL_PROTECTED, 0);
    std::vector<std::wstring> expected = administrators;
    if (!elevated) expected.push_back(fullControl + own);
    EXPECT_EQ(testing_support::AccessEntries(descriptor.Get()), expected);
    // High (S-1-16-12288), no write up (0x1), for the folder and what is made in it (0x3).
    EXPECT_EQ(Label(descriptor.Get()), elevated ? L"0x3 0x1 S-1-16-12288" : L"");
  }
  EXPECT_FALSE(StagingFolderDescriptor(L"", false)) << "a folder without its own account's entry";
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/ProcessAccount.h"
#include "package/StagingFolderSecurity.h"
#include "tests/support/AccessEntries.h"

namespace {

// Under Wine a folder's descriptor reads back as mode bits, without the
// protected flag: the descriptor the package creates its folder with is
// checked as data here.
TEST(StagingFolderSecurity, IsProtectedAndGivesFullControlToSystemAdministratorsAndTheOwnAccountOnly) {
  const mw::LocalMemory ownText = ProcessAccount().SidText();
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
  EXPECT_EQ(testing_support::AccessEntries(descriptor.Get()),
            (std::vector<std::wstring>{fullControl + L"S-1-5-18", fullControl + L"S-1-5-32-544", fullControl + own}));

  EXPECT_FALSE(StagingFolderDescriptor(L"")) << "a folder without its own account's entry";
}

}  // namespace

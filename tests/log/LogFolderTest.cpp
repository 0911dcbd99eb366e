#include "log/LogFolder.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

namespace {

struct FolderRow {
  const wchar_t* Security;  // with "{self}" for the launcher's own account
  DWORD Attributes;
  bool Usable;
};

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  const mw::LocalMemory held(text);
  return text;
}

// Real descriptors built for each case; only their owner decides, never the
// access list, since an owner can always grant itself what it lacks.
TEST(LogFolder, AnExistingFolderIsUsedOnlyWhenItIsARealFolderWithATrustedOwner) {
  constexpr DWORD Folder = FILE_ATTRIBUTE_DIRECTORY;
  constexpr DWORD Link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  const FolderRow rows[] = {
      {L"O:SYD:P(A;OICI;FA;;;SY)", Folder, true},
      {L"O:BAD:P(A;OICI;FA;;;BA)", Folder, true},
      {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:(A;;FA;;;SY)", Folder, true},
      {L"O:{self}D:(A;;FA;;;{self})", Folder, true},
      {L"O:SYD:P(A;OICI;FA;;;SY)", Link, false},
      {L"O:SYD:P(A;OICI;FA;;;SY)", FILE_ATTRIBUTE_ARCHIVE, false},
      {L"O:BUD:P(A;OICI;FA;;;SY)", Folder, false},
      {L"O:WDD:P(A;OICI;FA;;;SY)", Folder, false},
      {L"O:S-1-5-21-1004336348-1177238915-682003330-1001D:P(A;OICI;FA;;;SY)", Folder, false},
      {L"D:P(A;OICI;FA;;;SY)", Folder, false},  // no owner at all
  };
  const LauncherUser user;
  const std::wstring self = SidText(user.Sid());
  ASSERT_FALSE(self.empty());
  for (const auto& row : rows) {
    std::wstring text = row.Security;
    for (std::size_t at; (at = text.find(L"{self}")) != std::wstring::npos;) text.replace(at, 6, self);
    PSECURITY_DESCRIPTOR security = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &security, nullptr))
        << testing::PrintToString(text);
    const mw::LocalMemory held(security);
    EXPECT_EQ(IsUsableLogFolder(row.Attributes, security, user.Sid()), row.Usable)
        << testing::PrintToString(text) << " attributes " << row.Attributes;
  }
}

}  // namespace

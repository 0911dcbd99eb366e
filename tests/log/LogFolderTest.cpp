#include "log/LogFolder.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "log/LogFileOpen.h"
#include "tests/support/AccessEntries.h"

namespace {

using testing_support::SidText;

mw::LocalMemory Descriptor(const std::wstring& text, const std::wstring& self) {
  return testing_support::DescriptorFromText(text, self);
}

struct FolderRow {
  const wchar_t* Security;  // with "{self}" for the launcher's own account
  DWORD Attributes;
  bool Usable;
};

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
  const ProcessAccount user;
  const std::wstring self = SidText(user.Sid());
  ASSERT_FALSE(self.empty());
  for (const auto& row : rows) {
    const mw::LocalMemory security = Descriptor(row.Security, self);
    ASSERT_TRUE(security);
    EXPECT_EQ(IsUsableLogFolder(row.Attributes, security.Get(), user.Sid()), row.Usable)
        << testing::PrintToString(std::wstring(row.Security)) << " attributes " << row.Attributes;
  }
}

// Checked as data: Wine keeps a folder's rights as mode bits and drops the
// protected flag, so a folder read back cannot show either.
TEST(LogFolder, ANewFolderIsProtectedAndGrantsExactlyTheseEntries) {
  const ProcessAccount user;
  const std::wstring self = SidText(user.Sid());
  ASSERT_FALSE(self.empty());
  // Allowed (0), inherited by files and folders inside (0x3); full control, or read and execute.
  const std::wstring fullControl = L"0 0x3 0x1F01FF ";
  const std::vector<std::wstring> administratorEntries = {fullControl + L"S-1-5-18", fullControl + L"S-1-5-32-544",
                                                          L"0 0x3 0x1200A9 S-1-5-32-545"};
  std::vector<std::wstring> userEntries = administratorEntries;
  userEntries.push_back(fullControl + self);

  for (const bool administrator : {true, false}) {
    SCOPED_TRACE(administrator ? "administrator" : "not an administrator");
    const mw::LocalMemory security = LogFolderSecurity(user.Sid(), administrator);
    ASSERT_TRUE(security);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(security.Get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "the parent's rights would come in";
    EXPECT_EQ(testing_support::AccessEntries(security.Get()), administrator ? administratorEntries : userEntries);
  }
  EXPECT_FALSE(LogFolderSecurity(nullptr, false)) << "no account to grant the log to";
}

struct FileRow {
  const wchar_t* Owner;  // with "{self}" for the launcher's own account
  DWORD Attributes;
  DWORD Links;
  bool CreatedByThisRun;
  bool Usable;
};

// Wine reports every file as owned by the running account, so an existing
// log file of someone else's can only be shown here.
TEST(LogFile, AnExistingFileIsAppendedToOnlyWhenItIsAPlainFileWithOneNameAndATrustedOwner) {
  constexpr DWORD Plain = FILE_ATTRIBUTE_ARCHIVE;
  const FileRow rows[] = {
      {L"O:{self}", Plain, 1, true, true},
      {L"O:BU", Plain, 1, true, true},  // just created: its name cannot be anyone else's
      {L"O:SY", Plain, 1, false, true},
      {L"O:BA", Plain, 1, false, true},
      {L"O:{self}", Plain, 1, false, true},
      {L"O:BU", Plain, 1, false, false},  // same process id in the same second, made by a user
      {L"O:S-1-5-21-1004336348-1177238915-682003330-1001", Plain, 1, false, false},
      {L"", Plain, 1, false, false},  // no owner could be read
      {L"O:{self}", Plain, 2, true, false},
      {L"O:SY", Plain, 2, false, false},
      {L"O:SY", Plain | FILE_ATTRIBUTE_REPARSE_POINT, 1, false, false},
      {L"O:SY", FILE_ATTRIBUTE_DIRECTORY, 1, false, false},
  };
  const ProcessAccount user;
  const std::wstring self = SidText(user.Sid());
  ASSERT_FALSE(self.empty());
  for (const auto& row : rows) {
    const mw::LocalMemory owner = *row.Owner ? Descriptor(row.Owner, self) : mw::LocalMemory();
    EXPECT_EQ(IsUsableLogFile(row.Attributes, row.Links, owner.Get(), row.CreatedByThisRun, user.Sid()), row.Usable)
        << testing::PrintToString(std::wstring(row.Owner)) << " attributes " << row.Attributes << " links "
        << row.Links << " created " << row.CreatedByThisRun;
  }
}

}  // namespace

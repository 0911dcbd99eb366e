#include "base/ObjectTrust.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ProcessAccount.h"
#include "tests/support/AccessEntries.h"

namespace {

using testing_support::SidText;

struct TrustRow {
  const wchar_t* Security;  // with "{self}" for the process's own account
  ACCESS_MASK Rights;
  const wchar_t* Changer;  // who, besides the trusted, may change it; empty: nobody
};

// Wine reads every file back as owned by the running account, with an
// access list made of mode bits: who may change a tool and its folders is
// shown on real descriptors built for each case.
TEST(ObjectTrust, NobodyButTrustedAccountsMayOwnOrChangeWhatRuns) {
  constexpr ACCESS_MASK Contents = RightsToChangeContents;
  constexpr ACCESS_MASK Path = RightsToChangePath;
  const TrustRow rows[] = {
      {L"O:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)", Contents, L""},
      {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:(A;;FA;;;SY)", Contents, L""},
      {L"O:{self}D:(A;;FA;;;{self})", Contents, L""},
      {L"O:SYD:(A;;FA;;;SY)(A;;0x1200a9;;;BU)", Contents, L""},  // users read and execute
      {L"O:BUD:P(A;;FA;;;SY)", Path, L"S-1-5-32-545"},         // an owner may grant itself anything
      {L"O:SYD:(A;;FA;;;SY)(A;;FA;;;AU)", Path, L"S-1-5-11"},
      // Adding a subfolder, which C:\ lets Authenticated Users do, changes nothing below.
      {L"O:SYD:(A;;FA;;;SY)(A;;0x100004;;;AU)", Path, L""},
      {L"O:SYD:(A;;FA;;;SY)(A;;0x100004;;;AU)", Contents, L"S-1-5-11"},
      {L"O:SYD:(A;;FA;;;SY)(A;;0x100002;;;BU)", Contents, L"S-1-5-32-545"},  // write (add a file)
      {L"O:SYD:(A;;FA;;;SY)(A;;SD;;;BU)", Path, L"S-1-5-32-545"},           // delete
      {L"O:SYD:(A;;FA;;;SY)(A;;0x40;;;BU)", Path, L"S-1-5-32-545"},         // delete a child
      {L"O:SYD:(A;;FA;;;SY)(A;;WD;;;BU)", Path, L"S-1-5-32-545"},           // rewrite the access list
      {L"O:SYD:(A;;FA;;;SY)(A;;WO;;;BU)", Path, L"S-1-5-32-545"},           // take ownership
      {L"O:SYD:(A;;GW;;;WD)", Contents, L"S-1-1-0"},                        // generic rights, mapped
      {L"O:SYD:(A;;GA;;;WD)", Path, L"S-1-1-0"},
      // Entries that only pass on to children, and denials, give nothing here.
      {L"O:SYD:(A;;FA;;;SY)(A;OICIIO;FA;;;CO)(A;OICIIO;GA;;;BU)", Contents, L""},
      {L"O:SYD:(D;;FA;;;WD)(A;;FA;;;SY)", Contents, L""},
      {L"D:P(A;;FA;;;SY)", Contents, L"S-1-1-0"},      // no owner
  };
  const ProcessAccount account;
  const std::wstring self = SidText(account.Sid());
  ASSERT_FALSE(self.empty());
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(row.Security)));
    const mw::LocalMemory security = testing_support::DescriptorFromText(row.Security, self);
    ASSERT_TRUE(security);
    EXPECT_EQ(SidText(UntrustedChanger(security.Get(), account.Sid(), row.Rights)), row.Changer);
  }

  // No access list at all lets everybody do everything (built by hand:
  // Wine's SDDL makes an empty list of "NO_ACCESS_CONTROL").
  SECURITY_DESCRIPTOR open;
  BYTE system[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof system;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
              CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size) &&
              SetSecurityDescriptorOwner(&open, system, FALSE) && SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  EXPECT_EQ(SidText(UntrustedChanger(&open, account.Sid(), RightsToChangePath)), L"S-1-1-0");
}

}  // namespace

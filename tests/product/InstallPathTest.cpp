#include "product/InstallPath.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/ProductRegistration.h"

namespace {

using testing_support::RegisterProductService;
using testing_support::SetInstallLocation;
using testing_support::SetInstallLocationValue;
using testing_support::View32;
using testing_support::View64;

// The registry view a launcher without the WOW64 flag reads.
constexpr REGSAM OwnView = 0;

std::wstring Find(bool isWow64) {
  mw::String result(L"stale text from before");
  FindInstallPath(result, isWow64);
  return std::wstring(result.GetText(), result.GetLength());
}

class InstallPathTest : public ::testing::Test {
 protected:
  testing_support::CleanProductRegistration Clean;
};

TEST_F(InstallPathTest, NothingRegisteredGivesAnEmptyResult) {
  EXPECT_EQ(Find(false), L"");
  EXPECT_EQ(Find(true), L"");
}

TEST_F(InstallPathTest, InstallLocationIsTakenExactlyAsStored) {
  ASSERT_TRUE(RegisterProductService(L"C:\\FromService\\svc.exe"));
  ASSERT_TRUE(SetInstallLocation(OwnView, L"C:\\Apps\\Product"));
  EXPECT_EQ(Find(false), L"C:\\Apps\\Product");

  ASSERT_TRUE(SetInstallLocation(OwnView, L"C:\\Apps\\Quoted Product\\\"  "));
  EXPECT_EQ(Find(false), L"C:\\Apps\\Quoted Product\\\"  ");

  ASSERT_TRUE(SetInstallLocation(OwnView, L"C:\\%Apps%\\Product", REG_EXPAND_SZ));
  EXPECT_EQ(Find(false), L"C:\\%Apps%\\Product");

  for (const wchar_t* absolute : {L"\\\\server\\share\\Product", L"d:/Apps/Product"}) {
    ASSERT_TRUE(SetInstallLocation(OwnView, absolute));
    EXPECT_EQ(Find(false), absolute);
  }
}

TEST_F(InstallPathTest, AnExistingEmptyValueEndsTheLookup) {
  ASSERT_TRUE(RegisterProductService(L"C:\\FromService\\svc.exe"));
  ASSERT_TRUE(SetInstallLocation(OwnView, L""));
  EXPECT_EQ(Find(false), L"");
}

TEST_F(InstallPathTest, AMalformedValueFallsThroughToTheService) {
  ASSERT_TRUE(RegisterProductService(L"\"C:\\FromService\\svc.exe\""));

  const DWORD number = 42;
  ASSERT_TRUE(SetInstallLocationValue(OwnView, REG_DWORD, &number, sizeof number));
  EXPECT_EQ(Find(false), L"C:\\FromService\\");

  // The unit after the stored text is not NUL, so no terminator is stored.
  const wchar_t unterminated[] = L"C:\\Apps\\ProductX";
  ASSERT_TRUE(SetInstallLocationValue(OwnView, REG_SZ, unterminated, 15 * sizeof(wchar_t)));
  EXPECT_EQ(Find(false), L"C:\\FromService\\");

  const wchar_t odd[] = L"C:\\Apps";
  ASSERT_TRUE(SetInstallLocationValue(OwnView, REG_SZ, odd, 7));
  EXPECT_EQ(Find(false), L"C:\\FromService\\");

  const wchar_t multi[] = L"C:\\Apps\0\0";
  ASSERT_TRUE(SetInstallLocationValue(OwnView, REG_MULTI_SZ, multi, sizeof multi));
  EXPECT_EQ(Find(false), L"C:\\FromService\\");

  // Not an absolute path: it would be found relative to the current folder.
  for (const wchar_t* relative : {L"%ProgramFiles%\\Product", L"Product", L"\\Product", L"C:Product",
                                  L"  \"C:\\Apps\\Product\"", L"\\\\"}) {
    ASSERT_TRUE(SetInstallLocation(OwnView, relative, REG_EXPAND_SZ));
    EXPECT_EQ(Find(false), L"C:\\FromService\\") << testing::PrintToString(std::wstring(relative));
  }
}

TEST_F(InstallPathTest, Wow64FlagReadsThe64BitView) {
  if (!testing_support::ProcessIsWow64()) GTEST_SKIP() << "the process's own view is the 64-bit one";
  ASSERT_TRUE(SetInstallLocation(View64, L"C:\\Apps\\Sixty-four"));
  EXPECT_EQ(Find(true), L"C:\\Apps\\Sixty-four");
  EXPECT_EQ(Find(false), L"");

  testing_support::RemoveProductRegistration();
  ASSERT_TRUE(SetInstallLocation(View32, L"C:\\Apps\\Thirty-two"));
  EXPECT_EQ(Find(false), L"C:\\Apps\\Thirty-two");
  ASSERT_TRUE(RegisterProductService(L"C:\\FromService\\svc.exe"));
  EXPECT_EQ(Find(true), L"C:\\FromService\\");
}

struct ServicePathRow {
  const wchar_t* BinaryPath;
  const wchar_t* Expected;
};

TEST_F(InstallPathTest, ServiceFolderIsCutAfterTheExecutablesLastBackslash) {
  const ServicePathRow rows[] = {
      {L"\"C:\\Apps\\Product\\svc.exe\"", L"C:\\Apps\\Product\\"},
      {L"C:\\Apps\\Product\\svc.exe", L"C:\\Apps\\Product\\"},
      {L"\"C:\\Apps\\Product\\svc.exe\" -run", L"C:\\Apps\\Product\\"},
      // Arguments of a quoted path cannot move the cut.
      {L"\"C:\\Apps\\Product\\svc.exe\" /log=D:\\logs\\s.log", L"C:\\Apps\\Product\\"},
      {L"\"C:\\Program Files\\Valcrest\\svc.exe", L"C:\\Program Files\\Valcrest\\"},
      // Unquoted, the executable cannot be told from its arguments.
      {L"C:\\Apps\\svc.exe /log=D:\\logs\\s.log", L"C:\\Apps\\svc.exe /log=D:\\logs\\"},
      {L"svc.exe", L""},
      // A folder that is not absolute is no answer.
      {L"Product\\svc.exe", L""},
      {L"\"%ProgramFiles%\\Valcrest\\svc.exe\"", L""},
      {L"\"\"", L""},
      {L"\"", L""},
  };
  for (const auto& row : rows) {
    testing_support::RemoveProductRegistration();
    ASSERT_TRUE(RegisterProductService(row.BinaryPath));
    EXPECT_EQ(Find(false), row.Expected) << testing::PrintToString(std::wstring(row.BinaryPath));
  }
}

TEST_F(InstallPathTest, QueryServiceFolderReportsWhyItFailed) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(manager, nullptr);
  std::wstring folder = L"untouched";
  EXPECT_EQ(QueryServiceFolder(manager, L"ValcrestService", folder), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(folder, L"untouched");

  ASSERT_TRUE(RegisterProductService(L"\"\""));
  EXPECT_NE(QueryServiceFolder(manager, L"ValcrestService", folder), 0u);
  EXPECT_EQ(folder, L"untouched");

  testing_support::RemoveProductRegistration();
  ASSERT_TRUE(RegisterProductService(L"svc.exe"));
  EXPECT_EQ(QueryServiceFolder(manager, L"ValcrestService", folder), 0u);
  EXPECT_EQ(folder, L"");
  CloseServiceHandle(manager);
}

}  // namespace

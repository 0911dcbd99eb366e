#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "tests/programs/Utf8Text.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RunLog.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::LogFolder;
using testing_support::ProgramRequest;
using testing_support::ReadRunLog;
using testing_support::RunProgram;

ProgramRequest LauncherRequest() {
  ProgramRequest request;
  request.Program = BinaryFolder() + L"Mendora.Launcher.exe";
  return request;
}

using testing_support::SystemIs64Bit;

// Every run starts on a machine without the product.
class LauncherRun : public ::testing::Test {
 protected:
  testing_support::CleanProductRegistration Clean;
};

TEST_F(LauncherRun, WithoutProductEndsWithExitCode3AndOneErrorLine) {
  const auto result = RunProgram(LauncherRequest());
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, "Product installation path not found.\r\n");
  EXPECT_EQ(result.Stdout, "");

  const auto log = ReadRunLog(result);
  ASSERT_TRUE(log.Found);
  EXPECT_EQ(log.FileCount, 1);
  EXPECT_EQ(log.Bytes.rfind("\xEF\xBB\xBF", 0), 0u);
  const std::regex linePattern(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(INFO|WARNING|ERROR)\] .*)");
  for (const auto& line : log.Lines) EXPECT_TRUE(std::regex_match(line, linePattern)) << line;
  const int wow64 = log.IndexOf(testing_support::ProcessIsWow64() ? "[INFO] use isWOW64: true." : "[INFO] use isWOW64: false.");
  const int notFound = log.IndexOf("[ERROR] installation path not found!");
  EXPECT_GE(wow64, 0);
  EXPECT_GT(notFound, wow64);
}

TEST_F(LauncherRun, IgnoresItsOwnArguments) {
  auto request = LauncherRequest();
  request.Arguments = L"/detach /diagnostic --help";
  const auto result = RunProgram(request);
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, "Product installation path not found.\r\n");
}

TEST_F(LauncherRun, CreatesAMissingLogFolderThatOtherUsersCannotWrite) {
  testing_support::RemoveTree(LogFolder());
  const auto result = RunProgram(LauncherRequest());
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_TRUE(ReadRunLog(result).Found);
  // Wine keeps an access list as mode bits: other users show as Everyone.
  const std::wstring access = testing_support::AccessListText(LogFolder());
  ASSERT_FALSE(access.empty());
  EXPECT_EQ(access.find(L";;;WD)"), std::wstring::npos) << programs::ToUtf8(access);
}

TEST_F(LauncherRun, GoesOnWhenTheLogFolderCannotBeMade) {
  testing_support::RemoveTree(LogFolder());
  ASSERT_TRUE(testing_support::WriteFileBytes(LogFolder(), "a file where the folder should be"));
  const auto result = RunProgram(LauncherRequest());
  testing_support::RemoveTree(LogFolder());
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, "Product installation path not found.\r\n");
}

TEST_F(LauncherRun, FindsTheProductInThe64BitRegistryView) {
  ASSERT_TRUE(testing_support::SetInstallLocation(testing_support::View64, L"C:\\Apps\\Valcrest"));
  const auto result = RunProgram(LauncherRequest());
  EXPECT_NE(result.ExitCode, 3u);
  EXPECT_TRUE(ReadRunLog(result).Has("[INFO] installation path found: C:\\Apps\\Valcrest"));
}

TEST_F(LauncherRun, FindsTheProductThroughItsServiceWhenOnlyThe32BitViewHasIt) {
  if (!SystemIs64Bit()) GTEST_SKIP() << "one registry view only";
  ASSERT_TRUE(testing_support::SetInstallLocation(testing_support::View32, L"C:\\Apps\\Elsewhere"));
  ASSERT_TRUE(testing_support::RegisterProductService(L"\"C:\\Apps\\Valcrest\\svc.exe\" -run"));
  const auto result = RunProgram(LauncherRequest());
  EXPECT_TRUE(ReadRunLog(result).Has("[INFO] installation path found: C:\\Apps\\Valcrest\\"));
}

}  // namespace

#include <gtest/gtest.h>

#include "tests/support/ProgramRun.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::ProgramRequest;
using testing_support::RunProgram;

ProgramRequest LauncherRequest() {
  ProgramRequest request;
  request.Program = BinaryFolder() + L"Mendora.Launcher.exe";
  return request;
}

TEST(LauncherRun, WithoutProductEndsWithExitCode3AndOneErrorLine) {
  const auto result = RunProgram(LauncherRequest());
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, "Product installation path not found.\r\n");
  EXPECT_EQ(result.Stdout, "");
}

TEST(LauncherRun, IgnoresItsOwnArguments) {
  auto request = LauncherRequest();
  request.Arguments = L"/detach /diagnostic --help";
  const auto result = RunProgram(request);
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, "Product installation path not found.\r\n");
}

}  // namespace

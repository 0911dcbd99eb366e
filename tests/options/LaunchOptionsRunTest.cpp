#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "tests/programs/Utf8Text.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RunLog.h"

namespace {

using testing_support::BinaryFolder;
using programs::ToUtf8;
using testing_support::ProgramRequest;
using testing_support::ProgramResult;
using testing_support::ReadRunLog;
using testing_support::RunLog;
using testing_support::RunProgram;

const std::string NotFound = "[WARNING] sfxcmd variable not found.";
const std::string NotRead = "[WARNING] error getting sfxcmd variable.";

struct LauncherRun {
  ProgramResult Result;
  RunLog Log;
};

// No product is installed in the test prefix, so every run ends after the
// options with exit code 3.
LauncherRun RunWithSfxcmd(std::optional<std::wstring> sfxcmd, const std::wstring& arguments = L"") {
  ProgramRequest request;
  request.Program = BinaryFolder() + L"Mendora.Launcher.exe";
  request.Arguments = arguments;
  request.Environment[L"SFXCMD"] = std::move(sfxcmd);
  LauncherRun run{RunProgram(request), {}};
  EXPECT_TRUE(run.Result.Started) << run.Result.StartError;
  EXPECT_EQ(run.Result.ExitCode, 3u);
  EXPECT_EQ(run.Result.Stderr, "Product installation path not found.\r\n");
  run.Log = ReadRunLog(run.Result);
  EXPECT_TRUE(run.Log.Found);
  return run;
}

// The option text is logged after the installation folder lookup and before the product check.
void ExpectLoggedInOrder(const RunLog& log, const std::string& optionLine) {
  const int wow64 = std::max(log.IndexOf("[INFO] use isWOW64: true."), log.IndexOf("[INFO] use isWOW64: false."));
  const int option = log.IndexOf(optionLine);
  EXPECT_GE(wow64, 0);
  EXPECT_GT(option, wow64) << optionLine;
  EXPECT_GT(log.IndexOf("[ERROR] installation path not found!"), option);
}

TEST(LaunchOptionsRun, LogsTheOptionTextOfSfxcmdAndTheLimitsInForce) {
  const auto run = RunWithSfxcmd(L"/detach -diagnostic --x=a=b wait=soon --timeout=45");
  ExpectLoggedInOrder(run.Log, "[INFO] command line is: /detach -diagnostic --x=a=b wait=soon --timeout=45");
  EXPECT_FALSE(run.Log.Has(NotFound));
  EXPECT_FALSE(run.Log.Has(NotRead));
  EXPECT_TRUE(
      run.Log.Has("[WARNING] The option wait=soon is not a whole number from 0 to 86400 - the default is used."));
  EXPECT_TRUE(
      run.Log.Has("[INFO] rivlet.exe is waited for at most 2700 seconds, another patch run at most 600 seconds."));
}

TEST(LaunchOptionsRun, WarnsOfAMissingSfxcmdAndIgnoresItsOwnArguments) {
  const auto run = RunWithSfxcmd(std::nullopt, L"/detach -diagnostic");
  ExpectLoggedInOrder(run.Log, "[INFO] command line is: ");
  EXPECT_GE(run.Log.IndexOf(NotFound), 0);
  EXPECT_LT(run.Log.IndexOf(NotFound), run.Log.IndexOf("[INFO] command line is: "));
  EXPECT_FALSE(run.Log.Has(NotRead));
  // The empty text leaves a blank after "is:" at the end of the line.
  EXPECT_NE(run.Log.Bytes.find("[INFO] command line is: \r\n"), std::string::npos);
}

TEST(LaunchOptionsRun, WarnsOfAnEmptySfxcmd) {
  const auto run = RunWithSfxcmd(L"");
  ExpectLoggedInOrder(run.Log, "[INFO] command line is: ");
  EXPECT_GE(run.Log.IndexOf(NotRead), 0);
  EXPECT_LT(run.Log.IndexOf(NotRead), run.Log.IndexOf("[INFO] command line is: "));
  EXPECT_FALSE(run.Log.Has(NotFound));
}

TEST(LaunchOptionsRun, HandlesTheLargestSfxcmd) {
  // Nearly all one token, whose name and value each run far beyond what a
  // recursive pattern match survives on the launcher's stack.
  std::wstring text = L"/detach -x" + std::wstring(16000, L'n') + L"=";
  text.append(32767 - text.size(), L'\u00e9');
  const auto run = RunWithSfxcmd(text);
  ExpectLoggedInOrder(run.Log, "[INFO] command line is: " + ToUtf8(text));
}

}  // namespace

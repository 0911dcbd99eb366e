#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::BinaryFolder;
using programs::ToUtf8;
using testing_support::ProgramResult;
using testing_support::ScratchFolder;

ProgramResult RunDemoTool(const std::wstring& arguments, const std::wstring& workingFolder) {
  testing_support::ProgramRequest request;
  request.Program = BinaryFolder() + L"DemoPatchTool.exe";
  request.Arguments = arguments;
  request.WorkingFolder = workingFolder;
  request.TimeoutMs = 30000;
  return testing_support::RunProgram(request);
}

// Fixed file version as the launcher reads it, "major.minor.build.revision".
std::string FileVersionOf(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
    return "(none)";
  }
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
         "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

TEST(DemoPatchTool, ReportsValidationBeforeItAppliesThePatch) {
  ScratchFolder folder(L"demotool");
  ASSERT_TRUE(testing_support::WriteFileBytes(folder / L"patch.rvx", "demo"));
  const auto result = RunDemoTool(L"/encfile \"" + (folder / L"patch.rvx") + L"\" diagnostic", folder.Path());

  EXPECT_EQ(result.ExitCode, 0u);
  EXPECT_EQ(result.Stderr, "");
  const std::string& out = result.Stdout;
  EXPECT_EQ(out.rfind("Valcrest patching tool (demonstration) 7.9.12.40\n", 0), 0u) << out;
  EXPECT_NE(out.find("Diagnostic: working folder: " + ToUtf8(folder.Path()) + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("(4 bytes)\n"), std::string::npos) << out;
  const std::size_t verified = out.find("Package contents verified.\n");
  const std::size_t validated = out.find("\nPatch validation finished\n");
  const std::size_t applied = out.find("\nPatch applied.\n");
  ASSERT_NE(validated, std::string::npos) << out;
  EXPECT_LT(verified, validated);
  EXPECT_LT(validated, applied);
  EXPECT_EQ(applied + 16, out.size()) << "the last line is the result";
  // Bare LF: the launcher's console stream adds the CR itself.
  EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST(DemoPatchTool, RefusesAMissingOrEmptyPackageAndAForeignCommandLine) {
  ScratchFolder folder(L"demotool");
  const std::wstring package = folder / L"patch.rvx";
  auto result = RunDemoTool(L"/encfile \"" + package + L"\"", folder.Path());
  EXPECT_EQ(result.ExitCode, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(result.Stderr, "rivlet: package not found: " + ToUtf8(package) + "\n");
  EXPECT_EQ(result.Stdout.find("Patch validation finished"), std::string::npos);

  ASSERT_TRUE(testing_support::WriteFileBytes(package, ""));
  result = RunDemoTool(L"/encfile \"" + package + L"\"", folder.Path());
  EXPECT_EQ(result.ExitCode, static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_EQ(result.Stderr, "rivlet: package is empty: " + ToUtf8(package) + "\n");

  result = RunDemoTool(L"/package \"" + package + L"\"", folder.Path());
  EXPECT_EQ(result.ExitCode, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(result.Stderr.rfind("rivlet: unknown or incomplete argument: /package\n", 0), 0u) << result.Stderr;
}

// The demonstration relies on one build the launcher finds current and one
// too old for detach, yet new enough to have its output shown.
TEST(DemoPatchTool, BuildsCarryTheVersionsTheDemonstrationNeeds) {
  EXPECT_EQ(FileVersionOf(BinaryFolder() + L"DemoPatchTool.exe"), "7.9.12.40");
  EXPECT_EQ(FileVersionOf(BinaryFolder() + L"DemoPatchTool.NoDetach.exe"), "7.9.10.0");
}

TEST(DemoPatchTool, FinishesOnItsOwnAfterTheLauncherDetaches) {
  ScratchFolder scratch(L"demodetach");
  testing_support::LauncherWorld world(scratch / L"Valcrest", scratch / L"pkg");
  ASSERT_TRUE(testing_support::CreateFolders(scratch / L"Valcrest\\installer"));
  ASSERT_TRUE(CopyFileW((BinaryFolder() + L"DemoPatchTool.exe").c_str(), world.ToolPath().c_str(), FALSE));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));

  const auto outcome = world.Run(L"/detach");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_TRUE(outcome.Log.Has("[INFO] Detach was signaled."));
  EXPECT_NE(outcome.Result.Stdout.find("Patch validation finished\r\n"), std::string::npos);
  EXPECT_EQ(outcome.Result.Stdout.find("Patch applied."), std::string::npos);

  // Its later writes find the launcher's end of the pipe closed; it goes on.
  const auto running = programs::OpenProcesses(L"rivlet.exe", SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
  ASSERT_EQ(running.size(), 1u) << "found running and opened";
  const HANDLE tool = running[0].Handle.Get();
  ASSERT_EQ(WaitForSingleObject(tool, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ASSERT_TRUE(GetExitCodeProcess(tool, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace

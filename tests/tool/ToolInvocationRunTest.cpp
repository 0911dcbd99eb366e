#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/programs/Utf8Text.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::FileVersion;
using testing_support::LauncherOutcome;
using testing_support::CurrentTool;
using testing_support::LauncherWorld;
using programs::ToUtf8;
using testing_support::ScratchFolder;

std::string CommandLineLogged(const LauncherOutcome& outcome) {
  const std::string prefix = "[INFO] will execute process: ";
  for (const auto& message : outcome.Log.Messages) {
    if (message.rfind(prefix, 0) == 0) return message.substr(prefix.size());
  }
  return "(none logged)";
}

TEST(ToolInvocationRun, CurrentToolGetsThePackageAndTheOptionsInOrder) {
  LauncherWorld world(L"C:\\Program Files\\Valcrest", L"C:\\Temp\\pkg");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const auto outcome = world.Run(L"/detach /diagnostic");

  const std::wstring expected =
      L"\"C:\\Program Files\\Valcrest\\installer\\rivlet.exe\" /encfile \"C:\\Temp\\pkg\\patch.rvx\" diagnostic detach";
  EXPECT_EQ(CommandLineLogged(outcome), ToUtf8(expected));
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Tool->CommandLine, expected);
  EXPECT_EQ(outcome.Tool->CurrentDirectory, L"C:\\Temp\\pkg");
  EXPECT_TRUE(outcome.Log.Has("[INFO] Rivlet version detected: 7.9.12.40."));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Diagnostic mode enabled."));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Detach is supported."));
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
}

TEST(ToolInvocationRun, ToolGetsANarrowedPathAndTheCallersPathAside) {
  ScratchFolder scratch(L"toolenv");
  LauncherWorld world(scratch / L"Valcrest", scratch / L"pkg");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const auto outcome = world.Run(std::nullopt);
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(ToUtf8(outcome.Tool->Environment.at(L"PATH")), ToUtf8(world.PackageFolder()) + ";" + ToUtf8(programs::SystemFolderPath()));
  wchar_t callersPath[32768];
  const DWORD length = GetEnvironmentVariableW(L"PATH", callersPath, 32768);
  EXPECT_EQ(outcome.Tool->Environment.at(L"VALCREST_OLD_PATH"), std::wstring(callersPath, length));
}

TEST(ToolInvocationRun, OldToolGetsTheOldPackageAndTheScriptFolder) {
  LauncherWorld world(L"C:\\Program Files\\Valcrest", L"C:\\Temp\\pkg");
  ASSERT_TRUE(world.InstallTool(FileVersion{6, 6, 17, 253}));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx.old"));
  const auto outcome = world.Run(L"");

  const std::wstring expected =
      L"\"C:\\Program Files\\Valcrest\\installer\\rivlet.exe\" /encfile \"C:\\Temp\\pkg\\patch.rvx.old\""
      L" /var scriptdir \"C:\\Temp\\pkg\"";
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Tool->CommandLine, expected);
  EXPECT_TRUE(outcome.Log.Has("[INFO] rivlet.exe fileversion: 6.6.17.253"));
  EXPECT_TRUE(outcome.Log.Has("[INFO] use old: true"));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Should write output from rivlet: false"));
}

class ToolInvocationWorld : public ::testing::Test {
 protected:
  LauncherWorld World{testing_support::ScratchTag{L"invocation"}};
};

TEST_F(ToolInvocationWorld, VersionThresholdsDecideEchoAndDetach) {
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  struct Row {
    FileVersion Version;
    const char* Echo;
    bool DetachSupported;
  };
  for (const Row& row : {Row{{7, 9, 5, 318}, "false", false}, Row{{7, 9, 5, 319}, "true", false},
                         Row{{7, 9, 10, 0}, "true", false}, Row{{7, 9, 10, 1}, "true", true},
                         Row{{0, 1, 2, 3}, "true", true}}) {
    ASSERT_TRUE(World.InstallTool(row.Version));
    const auto outcome = World.Run(L"/detach");
    SCOPED_TRACE(std::to_string(row.Version.Major) + "." + std::to_string(row.Version.Minor) + "." +
                 std::to_string(row.Version.Build) + "." + std::to_string(row.Version.Revision));
    EXPECT_TRUE(outcome.Log.Has(std::string("[INFO] Should write output from rivlet: ") + row.Echo));
    EXPECT_TRUE(outcome.Log.Has("[INFO] Detach parameter: true."));
    ASSERT_TRUE(outcome.Tool.has_value());
    const bool detachArgument = outcome.Tool->CommandLine.ends_with(L" detach");
    EXPECT_EQ(detachArgument, row.DetachSupported);
    EXPECT_EQ(outcome.Log.Has("[INFO] Detach is supported."), row.DetachSupported);
    const bool warned = outcome.Result.Stderr.find(
                            "Warning: Detach is not supported by the currently installed version.\r\n") == 0;
    EXPECT_EQ(warned, !row.DetachSupported);
    EXPECT_EQ(outcome.Log.Has("[WARNING] Detach is not supported - option is skipped."), !row.DetachSupported);
  }
}

TEST_F(ToolInvocationWorld, NearMissOfAnOldVersionTakesTheCurrentPackage) {
  ASSERT_TRUE(World.InstallTool(FileVersion{6, 6, 17, 254}));
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx.old"));
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  auto outcome = World.Run(L"");
  EXPECT_TRUE(outcome.Log.Has("[INFO] use old: false"));
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_TRUE(outcome.Tool->CommandLine.ends_with(L"\\pkg\\patch.rvx\""));

  // The old package present does not stand in for a missing current one.
  DeleteFileW(World.PackagePath(L"patch.rvx").c_str());
  outcome = World.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 2u);
  EXPECT_EQ(outcome.Result.Stderr, "Could not apply the patch. Error code: 2.\r\n");
  EXPECT_TRUE(outcome.Log.Has("[ERROR] " + ToUtf8(World.PackagePath(L"patch.rvx")) + " not found!"));
}

TEST_F(ToolInvocationWorld, WithoutTheOldPackageNoOldPackageDecisionIsLogged) {
  ASSERT_TRUE(World.InstallTool(FileVersion{6, 0, 1, 5}));
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  const auto outcome = World.Run(L"");
  for (const auto& message : outcome.Log.Messages) {
    EXPECT_EQ(message.find("use old"), std::string::npos) << message;
    EXPECT_EQ(message.find("rivlet.exe fileversion"), std::string::npos) << message;
  }
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_TRUE(outcome.Tool->CommandLine.ends_with(L"\\pkg\\patch.rvx\""));
}

TEST_F(ToolInvocationWorld, AnUnreadableVersionEchoesNothingAndTakesTheCurrentPackage) {
  ASSERT_TRUE(World.InstallTool(std::nullopt, "out should not be echoed\\n"));
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx.old"));
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  const auto outcome = World.Run(L"/detach");
  EXPECT_TRUE(outcome.Log.HasPrefix("[ERROR] GetFileVersionInfoSize failed! GetLastError: "));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Rivlet version detected: -1.-1.-1.-1."));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Should write output from rivlet: false"));
  EXPECT_TRUE(outcome.Log.Has("[ERROR] Could not read rivlet.exe fileversion, defaulting to new encryption method!"));
  EXPECT_TRUE(outcome.Log.Has("[WARNING] Detach is not supported - option is skipped."));
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_TRUE(outcome.Tool->CommandLine.ends_with(L"\\pkg\\patch.rvx\""));
  EXPECT_EQ(outcome.Result.Stdout, "Patch execution started.\r\nPatch execution finished successfully.\r\n");
}

TEST_F(ToolInvocationWorld, MissingToolEndsWithExitCode2) {
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  const auto outcome = World.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 2u);
  EXPECT_EQ(outcome.Result.Stderr, "Patching tool not found.\r\n");
  EXPECT_EQ(outcome.Result.Stdout, "");
  EXPECT_TRUE(outcome.Log.Has("[ERROR] " + ToUtf8(World.ToolPath()) + " not found!"));
}

TEST_F(ToolInvocationWorld, MissingPackageEndsWithExitCode2) {
  ASSERT_TRUE(World.InstallTool(CurrentTool));
  const auto outcome = World.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 2u);
  EXPECT_EQ(outcome.Result.Stderr, "Could not apply the patch. Error code: 2.\r\n");
  EXPECT_FALSE(outcome.Tool.has_value());
}

TEST(ToolInvocationRun, LauncherAtADriveRootWorksFromTheBareDrive) {
  ScratchFolder scratch(L"root");
  LauncherWorld world(scratch / L"Valcrest", L"C:\\");
  ASSERT_TRUE(world.InstallTool(FileVersion{6, 0, 2, 1}));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx.old"));
  const auto outcome = world.Run(L"");
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_TRUE(outcome.Tool->CommandLine.ends_with(L"/encfile \"C:\\patch.rvx.old\" /var scriptdir \"C:\""));
  EXPECT_EQ(outcome.Tool->CurrentDirectory, L"C:\\");  // the system's form of the working folder C:
}

}  // namespace

// What an ordinary local user can plant, link or point elsewhere before an
// elevated launcher runs, and what the launcher does with it.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/LauncherWorld.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/WineAppDefaults.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::CurrentTool;
using testing_support::FileExists;
using testing_support::LauncherWorld;
using testing_support::ProgramRequest;
using testing_support::ScratchFolder;

const std::string NoProduct = "Product installation path not found.\r\n";

struct PlantedDllRow {
  const wchar_t* Name;     // as it is planted, without ".dll"
  const wchar_t* Build;    // the planted DLL as built
  const wchar_t* Control;  // a program that does load it from its own folder
};

TEST(Security, ADllPlantedBesideTheLauncherIsNeverLoaded) {
  const PlantedDllRow rows[] = {
      {L"version", L"PlantedVersion.dll", L"VersionImporter.exe"},  // imported by name
      {L"imm32", L"PlantedImm32.dll", L"DefaultDirsLoader.exe"},    // loaded by name by system DLLs
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing_support::Narrow(row.Name));
    ScratchFolder scratch(L"plant");
    LauncherWorld world(scratch / L"Valcrest", scratch / L"pkg");
    ASSERT_TRUE(world.InstallTool(CurrentTool));
    ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
    const std::wstring planted = world.PackagePath(std::wstring(row.Name) + L".dll");
    ASSERT_TRUE(CopyFileW((BinaryFolder() + row.Build).c_str(), planted.c_str(), FALSE));
    const std::wstring marker = planted + L".loaded";
    // Native first, as Windows searches: a DLL in the program's folder wins
    // over the system's for anything that loads it by name from there.
    testing_support::WineAppDefaults controlSettings(row.Control);
    controlSettings.PreferNativeDll(row.Name);
    testing_support::WineAppDefaults launcherSettings(L"Mendora.Launcher.exe");
    launcherSettings.PreferNativeDll(row.Name);

    ProgramRequest control;
    control.Program = world.PackagePath(row.Control);
    ASSERT_TRUE(CopyFileW((BinaryFolder() + row.Control).c_str(), control.Program.c_str(), FALSE));
    testing_support::RunProgram(control);
    ASSERT_TRUE(FileExists(marker)) << "the planted DLL should load into the control program";
    DeleteFileW(marker.c_str());

    const auto outcome = world.Run(L"");
    EXPECT_FALSE(FileExists(marker));
    EXPECT_TRUE(outcome.Log.Has("[INFO] Rivlet version detected: 7.9.12.40."));
    EXPECT_EQ(outcome.Result.ExitCode, 0u);
  }
}

TEST(Security, ABlankInTheInstallFolderCannotStartAnotherProgram) {
  ScratchFolder scratch(L"split");
  LauncherWorld world(L"C:\\Program Files\\Valcrest", scratch / L"pkg");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  // What an unquoted command line would start instead of the tool.
  const std::wstring impostor = L"C:\\Program.exe";
  ASSERT_TRUE(testing_support::InstallStandInTool(impostor, CurrentTool, "exit 9\n"));

  const auto outcome = world.Run(L"");
  const bool impostorRan = testing_support::ReadStandInRecord(impostor).has_value();
  for (const wchar_t* suffix : {L"", L".script", L".record"}) DeleteFileW((impostor + suffix).c_str());
  EXPECT_FALSE(impostorRan);
  EXPECT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
}

// %ProgramFiles% stays unexpanded, and a path that is not absolute would be
// looked for in the current folder, which the caller chose.
TEST(Security, AnInstallLocationThatIsNotAbsoluteNeverStartsAToolFromTheCurrentFolder) {
  LauncherWorld world(testing_support::ScratchTag{L"relative"});
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  ScratchFolder current(L"current");
  const std::wstring planted = current / L"%ProgramFiles%\\Valcrest\\installer\\rivlet.exe";
  ASSERT_TRUE(testing_support::InstallStandInTool(planted, CurrentTool, "exit 9\n"));
  ASSERT_TRUE(testing_support::SetInstallLocation(testing_support::View64, L"%ProgramFiles%\\Valcrest", REG_EXPAND_SZ));
  ProgramRequest request;
  request.WorkingFolder = current.Path();

  const auto withoutService = world.Run(request);
  EXPECT_EQ(withoutService.Result.ExitCode, 3u);
  EXPECT_EQ(withoutService.Result.Stderr, NoProduct);
  EXPECT_FALSE(testing_support::ReadStandInRecord(planted).has_value());

  ASSERT_TRUE(testing_support::RegisterProductService(L"\"" + world.InstallFolder() + L"\\svc.exe\""));
  const auto withService = world.Run(request);
  EXPECT_EQ(withService.Result.ExitCode, 0u);
  EXPECT_TRUE(withService.Log.Has("[INFO] installation path found: " + testing_support::Narrow(world.InstallFolder()) +
                                  "\\"));
  EXPECT_TRUE(withService.Tool.has_value());
  EXPECT_FALSE(testing_support::ReadStandInRecord(planted).has_value());
}

}  // namespace

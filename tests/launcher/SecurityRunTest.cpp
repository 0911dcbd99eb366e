#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/LauncherWorld.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/WineAppDefaults.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::FileExists;
using testing_support::CurrentTool;
using testing_support::LauncherWorld;
using testing_support::ProgramRequest;
using testing_support::ScratchFolder;


TEST(Security, AVersionDllPlantedBesideTheLauncherIsNeverLoaded) {
  ScratchFolder scratch(L"plant");
  LauncherWorld world(scratch / L"Valcrest", scratch / L"pkg");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  ASSERT_TRUE(CopyFileW((BinaryFolder() + L"PlantedVersion.dll").c_str(), world.PackagePath(L"version.dll").c_str(),
                        FALSE));
  const std::wstring marker = world.PackagePath(L"planted-version-loaded.txt");
  // Native first, as Windows searches: a version.dll in the program's folder
  // wins over the system's for anything that loads it by name.
  testing_support::WineAppDefaults importerSettings(L"VersionImporter.exe");
  importerSettings.PreferNativeDll(L"version");
  testing_support::WineAppDefaults launcherSettings(L"Mendora.Launcher.exe");
  launcherSettings.PreferNativeDll(L"version");

  // Control: an ordinary importer of version.dll in the same folder loads the plant.
  ProgramRequest control;
  control.Program = world.PackagePath(L"VersionImporter.exe");
  ASSERT_TRUE(CopyFileW((BinaryFolder() + L"VersionImporter.exe").c_str(), control.Program.c_str(), FALSE));
  testing_support::RunProgram(control);
  ASSERT_TRUE(FileExists(marker)) << "the planted DLL should load into a plain importer";
  DeleteFileW(marker.c_str());

  const auto outcome = world.Run(L"");
  EXPECT_FALSE(FileExists(marker));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Rivlet version detected: 7.9.12.40."));
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
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

}  // namespace

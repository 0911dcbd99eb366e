// Bad inputs and odd machines, each run through the real launcher and judged
// by its console lines, its full exit code and its log. Rows covered by the
// other end-to-end tests are listed in docs/FAULT-MATRIX.md.

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "base/SystemLibraries.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::FileVersion;
using testing_support::LauncherOutcome;
using testing_support::CurrentTool;
using testing_support::LauncherWorld;
using testing_support::StartedLine;
using testing_support::SucceededLine;
using programs::ToUtf8;
using testing_support::ScratchFolder;

const std::string NoProduct = "Product installation path not found.\r\n";

// A product that is only partly there: the world's install folder holds the
// tool, and each row decides what the registry and the service say.
class ProductRows : public ::testing::Test {
 protected:
  ProductRows() {
    World.InstallTool(CurrentTool);
    World.AddPackageFile(L"patch.rvx");
    testing_support::RemoveProductRegistration();
  }

  void ExpectNoProduct(const LauncherOutcome& outcome) {
    EXPECT_EQ(outcome.Result.ExitCode, 3u);
    EXPECT_EQ(outcome.Result.Stderr, NoProduct);
    EXPECT_EQ(outcome.Result.Stdout, "");
    EXPECT_TRUE(outcome.Log.Has("[ERROR] installation path not found!"));
    EXPECT_FALSE(outcome.Tool.has_value());
  }

  void ExpectFoundAndRun(const LauncherOutcome& outcome, const std::wstring& logged) {
    EXPECT_EQ(outcome.Result.ExitCode, 0u);
    EXPECT_EQ(outcome.Result.Stdout, StartedLine + SucceededLine);
    EXPECT_TRUE(outcome.Log.Has("[INFO] installation path found: " + ToUtf8(logged)));
    EXPECT_TRUE(outcome.Tool.has_value());
  }

  LauncherWorld World{testing_support::ScratchTag{L"matrix"}};
};

TEST_F(ProductRows, ValueOfTheWrongTypeWithoutServiceIsNoProduct) {
  const DWORD number = 1;
  ASSERT_TRUE(testing_support::SetInstallLocationValue(testing_support::View64, REG_DWORD, &number, sizeof number));
  ExpectNoProduct(World.Run(L""));
}

TEST_F(ProductRows, ValueWithoutTerminatorWithoutServiceIsNoProduct) {
  const std::wstring folder = World.InstallFolder() + L"X";  // the X is not stored, and neither is a NUL
  ASSERT_TRUE(testing_support::SetInstallLocationValue(testing_support::View64, REG_SZ, folder.c_str(),
                                                       static_cast<DWORD>((folder.size() - 1) * sizeof(wchar_t))));
  ExpectNoProduct(World.Run(L""));
}

TEST_F(ProductRows, EmptyValueIsNoProductEvenWithAService) {
  ASSERT_TRUE(testing_support::SetInstallLocation(testing_support::View64, L""));
  ASSERT_TRUE(testing_support::RegisterProductService(L"\"" + World.InstallFolder() + L"\\svc.exe\""));
  ExpectNoProduct(World.Run(L""));
}

TEST_F(ProductRows, ServiceAloneFindsTheProductEvenWithArgumentsAfterTheQuotes) {
  ASSERT_TRUE(testing_support::RegisterProductService(L"\"" + World.InstallFolder() +
                                                      L"\\svc.exe\" /log=D:\\logs\\s.log"));
  ExpectFoundAndRun(World.Run(L""), World.InstallFolder() + L"\\");
}

TEST_F(ProductRows, ServicePathWithoutAFolderIsNoProduct) {
  for (const wchar_t* path : {L"svc.exe", L"\"\""}) {
    testing_support::RemoveProductRegistration();
    ASSERT_TRUE(testing_support::RegisterProductService(path));
    ExpectNoProduct(World.Run(L""));
  }
}

TEST(ProductRow, InstallFolderWithBlanksAndNonAsciiCharacters) {
  ScratchFolder scratch(L"unicode");
  LauncherWorld world(scratch / L"Prod\u00fckt Files \u65e5\u672c\\Valcrest", scratch / L"pkg");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const auto outcome = world.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_TRUE(outcome.Log.Has("[INFO] installation path found: " + ToUtf8(world.InstallFolder())));
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Tool->CommandLine.rfind(L"\"" + world.ToolPath() + L"\" /encfile ", 0), 0u);
}

TEST(FileRows, AToolThatIsNotAProgramCannotBeStarted) {
  LauncherWorld world(testing_support::ScratchTag{L"files"});
  ASSERT_TRUE(testing_support::CreateFolders(world.InstallFolder() + L"\\installer"));
  ASSERT_TRUE(testing_support::WriteFileBytes(world.ToolPath(), "this is not a program"));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const auto outcome = world.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 5u);
  EXPECT_EQ(outcome.Result.Stdout, "");
  EXPECT_EQ(outcome.Result.Stderr.rfind("Patch could not be executed. Error code: ", 0), 0u) << outcome.Result.Stderr;
  EXPECT_TRUE(outcome.Log.HasPrefix("[ERROR] GetFileVersionInfoSize failed! GetLastError: "));
  EXPECT_TRUE(outcome.Log.Has("[ERROR] rivlet.exe could not be run!"));
}

TEST(FileRows, OnlyTheOldPackageForACurrentToolIsAMissingPackage) {
  LauncherWorld world(testing_support::ScratchTag{L"files"});
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx.old"));
  const auto outcome = world.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 2u);
  EXPECT_EQ(outcome.Result.Stderr, "Could not apply the patch. Error code: 2.\r\n");
  EXPECT_TRUE(outcome.Log.Has("[INFO] use old: false"));
  EXPECT_TRUE(outcome.Log.Has("[ERROR] " + ToUtf8(world.PackagePath(L"patch.rvx")) + " not found!"));
}

TEST(FileRows, LauncherFolderWithBlanksAndNonAsciiCharacters) {
  ScratchFolder scratch(L"files");
  LauncherWorld world(scratch / L"Valcrest", scratch / L"pkg \u00f1 \u65e5\u672c x");
  ASSERT_TRUE(world.InstallTool(CurrentTool));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const auto outcome = world.Run(L"");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_TRUE(outcome.Tool->CommandLine.ends_with(L" /encfile \"" + world.PackagePath(L"patch.rvx") + L"\""));
  EXPECT_EQ(outcome.Tool->CurrentDirectory, world.PackageFolder());
}

// Line breaks inside a message are written as \r and \n, keeping one log line per message.
std::wstring LoggedForm(const std::wstring& text) {
  std::wstring logged;
  for (wchar_t c : text) {
    if (c == L'\r') {
      logged += L"\\r";
    } else if (c == L'\n') {
      logged += L"\\n";
    } else {
      logged += c;
    }
  }
  return logged;
}

// What the tool is told for odd option texts: the switches arrive as
// arguments only when the text really holds them.
class OptionRows : public ::testing::Test {
 protected:
  OptionRows() {
    World.InstallTool(CurrentTool);
    World.AddPackageFile(L"patch.rvx");
  }

  // The switches the launcher passed on, from the command line it logged
  // (the tool's own record cannot hold the line breaks some rows put in SFXCMD).
  std::string ToolSwitches(const std::wstring& sfxcmd) {
    const auto outcome = World.Run(sfxcmd);
    EXPECT_EQ(outcome.Result.ExitCode, 0u);
    EXPECT_TRUE(outcome.Log.Has("[INFO] command line is: " + ToUtf8(LoggedForm(sfxcmd))));
    const std::string start = "[INFO] will execute process: \"" + ToUtf8(World.ToolPath()) + "\" /encfile \"" +
                              ToUtf8(World.PackagePath(L"patch.rvx")) + "\"";
    for (const auto& message : outcome.Log.Messages) {
      if (message.rfind(start, 0) == 0) return message.substr(start.size());
    }
    return "(no command line logged)";
  }

  LauncherWorld World{testing_support::ScratchTag{L"options"}};
};

TEST_F(OptionRows, UnbalancedQuotesRunToTheEnd) {
  EXPECT_EQ(ToolSwitches(L"/diagnostic \"/detach"), " diagnostic detach");
  EXPECT_EQ(ToolSwitches(L"\"/diagnostic /detach"), "");
}

TEST_F(OptionRows, LineBreaksDoNotSeparateSwitches) {
  EXPECT_EQ(ToolSwitches(L"/diagnostic\r\n/detach"), "");
  EXPECT_EQ(ToolSwitches(L"/detach=yes\r\n/diagnostic"), " detach");
}

TEST_F(OptionRows, NonAsciiSwitchesAreNotTheirAsciiLookAlikes) {
  EXPECT_EQ(ToolSwitches(L"/d\u00e9tach /diagnostic /\u65e5\u672c=\u00e9"), " diagnostic");
}

class ToolRows : public ::testing::Test {
 protected:
  LauncherWorld World{testing_support::ScratchTag{L"tools"}};
};

TEST_F(ToolRows, MarkerFollowedByMoreOutputStillDetaches) {
  ASSERT_TRUE(World.AddPackageFile(L"patch.rvx"));
  ASSERT_TRUE(World.InstallTool(CurrentTool, "out Patch validation finished\\n\nflood 20000000\nsleep 60000\n"));
  const auto outcome = World.Run(L"/detach", 60000);
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_FALSE(outcome.Result.TimedOut);
  EXPECT_EQ(outcome.Result.Stdout.rfind(StartedLine + "Patch validation finished", 0), 0u);
  EXPECT_LT(outcome.Result.Stdout.size(), 1000000u) << "the echo stops at the detach";
  EXPECT_EQ(std::count(outcome.Log.Messages.begin(), outcome.Log.Messages.end(),
                       "[INFO] Message for detach found - event will be signaled."),
            1);
  EXPECT_TRUE(outcome.Log.Has("[INFO] Detach was signaled."));
}

// The log's folder comes from the system's common application-data folder.
class CommonAppDataFolder {
 public:
  explicit CommonAppDataFolder(const std::wstring& folder) { Set(folder.c_str()); }
  CommonAppDataFolder(const CommonAppDataFolder&) = delete;
  CommonAppDataFolder& operator=(const CommonAppDataFolder&) = delete;
  ~CommonAppDataFolder() { Set(L"%ProgramData%"); }

 private:
  static void Set(const wchar_t* folder) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                  0, KEY_SET_VALUE, &key);
    RegSetValueExW(key, L"Common AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder),
                   static_cast<DWORD>((wcslen(folder) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
};

TEST(LogRow, ACommonAppDataFolderEndingInABackslashGetsOneSeparator) {
  wchar_t original[MAX_PATH] = {};
  SystemLibraries::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, original);
  const std::wstring withBackslash = std::wstring(original) + L"\\";
  testing_support::ProgramRequest request;
  request.Program = testing_support::BinaryFolder() + L"Mendora.Launcher.exe";
  testing_support::RemoveProductRegistration();
  testing_support::ProgramResult result;
  {
    const CommonAppDataFolder endingInBackslash(withBackslash);
    wchar_t seen[MAX_PATH] = {};
    SystemLibraries::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, seen);
    ASSERT_EQ(std::wstring(seen), withBackslash) << "the system should report the folder as set";
    result = testing_support::RunProgram(request);
  }
  EXPECT_EQ(result.ExitCode, 3u);
  const auto log = testing_support::ReadRunLog(result);
  ASSERT_TRUE(log.Found);
  EXPECT_EQ(log.Path.rfind(std::wstring(original) + L"\\Rivlet\\Mendora.Launcher-", 0), 0u) << ToUtf8(log.Path);
}

TEST(LogRow, ALogFileHeldByAnotherWriterLeavesTheRunWithoutALog) {
  testing_support::RemoveProductRegistration();
  const std::wstring folder = testing_support::LogFolder();
  testing_support::CreateFolders(folder);
  std::vector<HANDLE> held;
  std::vector<std::wstring> names;
  testing_support::ProgramRequest request;
  request.Program = testing_support::BinaryFolder() + L"Mendora.Launcher.exe";
  // Before the launcher starts, its log file names for the next seconds are
  // taken by a writer that lets others read but not write.
  request.BeforeResume = [&](DWORD processId) {
    const long long now = static_cast<long long>(std::time(nullptr));
    for (long long second = now - 1; second <= now + 3; ++second) {
      names.push_back(folder + L"\\Mendora.Launcher-" + std::to_wstring(second) + L"-" + std::to_wstring(processId) +
                      L".txt");
      held.push_back(CreateFileW(names.back().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                                 nullptr));
    }
  };
  const auto result = testing_support::RunProgram(request);
  for (HANDLE handle : held) CloseHandle(handle);

  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, NoProduct);
  for (const auto& name : names) {
    EXPECT_EQ(testing_support::ReadFileBytes(name), "") << ToUtf8(name);
    DeleteFileW(name.c_str());
  }
}

}  // namespace

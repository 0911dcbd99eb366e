#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/FinalPath.h"
#include "base/UniqueHolder.h"
#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/PlantedLinks.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/RunLog.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"
#include "tests/support/WineAppDefaults.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::CurrentTool;
using testing_support::FileVersion;
using testing_support::StartedLine;
using testing_support::SucceededLine;
using testing_support::ReadFileBytes;

struct PackageOutcome {
  testing_support::ProgramResult Result;
  testing_support::RunLog Log;  // the launcher's
  std::optional<testing_support::StandInRecord> Tool;
  std::wstring Folder;  // where the package extracted itself: the tool's working folder
};

std::wstring TempFolder() {
  wchar_t folder[MAX_PATH];
  return std::wstring(folder, GetTempPathW(MAX_PATH, folder));
}

// What a package extracts to: "ValcrestPatch-<random hex>" folders under the temporary folder.
std::set<std::wstring> PackageFolders() {
  std::set<std::wstring> folders;
  for (const std::wstring& name : testing_support::FolderEntries(TempFolder(), L"ValcrestPatch-*", true)) {
    folders.insert(TempFolder() + name);
  }
  return folders;
}

std::set<std::wstring> TempEntries() {
  const std::vector<std::wstring> names = testing_support::FolderEntries(TempFolder());
  return {names.begin(), names.end()};
}

// Under Wine a tool just ended holds its working folder a moment longer.
void RemoveFolderOnceReleased(const std::wstring& folder) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    testing_support::RemoveTree(folder);
    if (!testing_support::FolderExists(folder)) return;
    Sleep(100);
  }
}

// A folder of the temporary folder named for 128 random bits (nothing that
// can be predicted, like the clock), that other users may not read or write
// (Wine keeps an access list as mode bits: other users show as Everyone).
bool IsPrivateStagingFolder(const std::wstring& folder) {
  static const std::wregex Name(LR"(ValcrestPatch-[0-9A-F]{32})");
  const std::wstring access = testing_support::AccessListText(folder);
  return folder.rfind(TempFolder(), 0) == 0 && std::regex_match(folder.substr(TempFolder().size()), Name) &&
         !access.empty() && access.find(L";;;WD)") == std::wstring::npos;
}

// The NT headers of a program file when it holds `size` bytes of them; the
// 32-bit layout, which a 64-bit program shares up to the optional header.
const IMAGE_NT_HEADERS32* NtHeadersOf(const std::string& image, std::size_t size) {
  if (image.size() < sizeof(IMAGE_DOS_HEADER)) return nullptr;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
  const std::size_t nt = static_cast<std::size_t>(dos->e_lfanew);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || nt + size > image.size()) return nullptr;
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + nt);
  return headers->Signature == IMAGE_NT_SIGNATURE ? headers : nullptr;
}

// IMAGE_OPTIONAL_HEADER32::Subsystem of a program file; 0 when unreadable.
WORD SubsystemOf(const std::string& image) {
  const auto* headers = NtHeadersOf(image, sizeof(IMAGE_NT_HEADERS32));
  return headers != nullptr ? headers->OptionalHeader.Subsystem : 0;
}

// Size of the certificate table, where an Authenticode signature lives, of a
// 32-bit or 64-bit program file; 0 when it has none or is unreadable.
DWORD SignatureSize(const std::string& image) {
  const auto* headers = NtHeadersOf(image, sizeof(IMAGE_NT_HEADERS64));
  if (headers == nullptr) return 0;
  if (headers->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    const auto* headers64 = reinterpret_cast<const IMAGE_NT_HEADERS64*>(headers);
    return headers64->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
  }
  return headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
}

// Whether a running launcher holds a handle to the object `handle` is to:
// an inherited handle keeps its value in the child.
bool LauncherHolds(HANDLE handle) {
  HeapBlock own;
  if (FinalPathOf(handle, own) != 0) return false;
  for (const auto& launcher : programs::OpenProcesses(L"Mendora.Launcher.exe", PROCESS_DUP_HANDLE)) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(launcher.Handle.Get(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
      continue;
    }
    const mw::UniqueHandle held(copy);
    HeapBlock path;
    if (FinalPathOf(copy, path) == 0 &&
        std::wcscmp(static_cast<const wchar_t*>(path.Get()), static_cast<const wchar_t*>(own.Get())) == 0) {
      return true;
    }
  }
  return false;
}

// Valcrest installed with the stand-in tool; each test runs one of the
// packages the build made. The folders the packages extracted to are removed
// afterwards, once no tool runs from them.
class PatchPackage : public ::testing::Test {
 protected:
  ~PatchPackage() override {
    programs::EndProcesses(L"rivlet.exe");
    for (const std::wstring& folder : PackageFolders()) {
      if (FoldersBefore.count(folder) == 0) RemoveFolderOnceReleased(folder);
    }
  }

  void SetUp() override {
    ASSERT_TRUE(testing_support::SetInstallLocation(testing_support::View64, Install.Path()));
  }

  std::wstring ToolPath() const { return Install / L"installer\\rivlet.exe"; }

  // `inheritedSfxcmd` is what the caller's environment holds, if anything.
  // `package` is one the build made, in the binary folder, or a full path.
  // `whileToolRuns` is given the staging folder once the tool has started,
  // while the folder is still there (a run that waited removes it).
  PackageOutcome RunPackage(const std::wstring& package, const std::wstring& arguments,
                            const std::optional<std::wstring>& inheritedSfxcmd = std::nullopt,
                            const std::function<void(const std::wstring& folder)>& whileToolRuns = {}) {
    const auto logsBefore = testing_support::LogFileNames();
    testing_support::ProgramRequest request;
    request.Program = package.find(L'\\') == std::wstring::npos ? BinaryFolder() + package : package;
    request.Arguments = arguments;
    request.Environment[L"SFXCMD"] = inheritedSfxcmd;
    request.TimeoutMs = 60000;
    std::atomic<bool> ended = false;
    std::thread watcher;
    if (whileToolRuns) {
      watcher = std::thread([&] {
        std::optional<testing_support::StandInRecord> tool;
        while (!ended && !(tool = testing_support::ReadStandInRecord(ToolPath()))) Sleep(5);
        if (tool) whileToolRuns(tool->CurrentDirectory);
      });
    }
    PackageOutcome outcome;
    outcome.Result = testing_support::RunProgram(request);
    ended = true;
    if (watcher.joinable()) watcher.join();
    outcome.Log = testing_support::ReadLogAddedSince(logsBefore);
    outcome.Tool = testing_support::ReadStandInRecord(ToolPath());
    if (outcome.Tool) outcome.Folder = outcome.Tool->CurrentDirectory;
    return outcome;
  }

  const std::set<std::wstring> FoldersBefore = PackageFolders();
  testing_support::CleanProductRegistration Clean;
  testing_support::ScratchFolder Install{L"package"};
};

TEST_F(PatchPackage, RunsTheLauncherFromAFreshFolderAndEndsWithItsExitCode) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "out applying\\n\nexit 0\n"));
  // An earlier run's folder that nothing uses any more goes; a link named
  // like one, to a folder of the user's choice, is never followed.
  const std::wstring earlier = TempFolder() + L"ValcrestPatch-0123456789ABCDEF0123456789ABCDEF";
  const std::wstring linked = TempFolder() + L"ValcrestPatch-FEDCBA9876543210FEDCBA9876543210";
  const testing_support::ScratchFolder target(L"usersfolder");
  ASSERT_TRUE(testing_support::CreateFolders(earlier));
  for (const wchar_t* name : {L"\\Mendora.Launcher.exe", L"\\patch.rvx"}) {
    ASSERT_TRUE(testing_support::WriteFileBytes(earlier + name, "an earlier run's"));
    ASSERT_TRUE(testing_support::WriteFileBytes(target.Path() + name, "the user's own"));
  }
  ASSERT_TRUE(testing_support::PlantLink(target.Path(), linked));
  const std::set<std::wstring> tempBefore = TempEntries();
  // The switches of other package makers are the launcher's arguments like any other.
  const auto first = RunPackage(L"TestPatch.exe", L"--diagnostic \"/note=two words\" /S /NCRC /D=C:\\Other Folder");

  EXPECT_EQ(first.Result.ExitCode, 0u);
  EXPECT_EQ(first.Result.Stdout, StartedLine + "applying\r\n" + SucceededLine);
  EXPECT_EQ(first.Result.Stderr, "");
  ASSERT_TRUE(first.Tool.has_value());
  EXPECT_EQ(first.Tool->CommandLine,
            L"\"" + ToolPath() + L"\" /encfile \"" + first.Folder + L"\\patch.rvx\" diagnostic");
  // A run that waited for its tool leaves nothing in the temporary folder.
  std::set<std::wstring> tempAdded;
  for (const std::wstring& name : TempEntries()) {
    if (tempBefore.count(name) == 0) tempAdded.insert(TempFolder() + name);
  }
  EXPECT_EQ(tempAdded, std::set<std::wstring>{});
  EXPECT_FALSE(testing_support::FolderExists(first.Folder));
  EXPECT_FALSE(testing_support::FolderExists(earlier));
  EXPECT_EQ(ReadFileBytes(target.Path() + L"\\patch.rvx"), "the user's own");
  EXPECT_EQ(ReadFileBytes(target.Path() + L"\\Mendora.Launcher.exe"), "the user's own");
  testing_support::RemoveLink(linked);
  ASSERT_TRUE(first.Log.Found);
  EXPECT_TRUE(first.Log.Has("[INFO] command line is: --diagnostic \"/note=two words\" /S /NCRC /D=C:\\Other Folder"));
  EXPECT_TRUE(first.Log.Has("[INFO] rivlet.exe returned with ERROR_SUCCESS."));

  // Every run gets a folder of its own, every bit of the exit code comes
  // through, and no arguments replace an SFXCMD the caller had.
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 0xC0000005\n"));
  const auto second = RunPackage(L"TestPatch.exe", L"", L"/detach");
  EXPECT_EQ(second.Result.ExitCode, 0xC0000005u);
  EXPECT_EQ(second.Result.Stderr, "Patch execution finished with error code: -1073741819.\r\n");
  ASSERT_TRUE(second.Tool.has_value());
  EXPECT_NE(second.Folder, first.Folder);
  EXPECT_TRUE(second.Log.Has("[INFO] command line is: "));
  EXPECT_TRUE(second.Log.Has("[INFO] Detach parameter: false."));

  // Signed as a release is, the launcher inside too, it runs alike and still
  // ends with the launcher's exit code. The launcher holds none of the
  // handles the package's caller let the package inherit (its own file here).
  ASSERT_GT(SignatureSize(ReadFileBytes(BinaryFolder() + L"TestPatchSigned.exe")), 0u);
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "sleep 500\nexit 3010\n"));
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const mw::UniqueFileHandle callersFile(CreateFileW((target / L"callers.txt").c_str(), GENERIC_READ,
                                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                     &inheritable, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(callersFile);
  std::string launcherRun;
  bool launcherInherited = true;
  const auto whileLauncherRuns = [&](const std::wstring& folder) {
    launcherRun = ReadFileBytes(folder + L"\\Mendora.Launcher.exe");
    launcherInherited = LauncherHolds(callersFile.Get());
  };
  const auto signedRun = RunPackage(L"TestPatchSigned.exe", L"/diagnostic", std::nullopt, whileLauncherRuns);
  EXPECT_EQ(signedRun.Result.ExitCode, 3010u);
  EXPECT_EQ(signedRun.Result.Stderr, "Patch execution finished with error code: 3010.\r\n");
  ASSERT_TRUE(signedRun.Tool.has_value());
  EXPECT_GT(SignatureSize(launcherRun), 0u);
  EXPECT_TRUE(signedRun.Log.Has("[INFO] Diagnostic mode enabled."));
  EXPECT_FALSE(launcherInherited);
}

// After a detach the tool still uses the folder, which stays until a later
// package run finds it unused.
TEST_F(PatchPackage, DetachEndsThePackageAndLeavesTheToolItsPackage) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool,
                                                  "out Patch validation finished\\n\nsleep 60000\n"));
  const auto outcome = RunPackage(L"TestPatch.exe", L"/detach");

  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_FALSE(outcome.Result.TimedOut);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "Patch validation finished\r\n");
  EXPECT_EQ(outcome.Result.Stderr, "");
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Tool->CommandLine,
            L"\"" + ToolPath() + L"\" /encfile \"" + outcome.Folder + L"\\patch.rvx\" detach");
  EXPECT_TRUE(outcome.Log.Has("[INFO] command line is: /detach"));
  EXPECT_TRUE(outcome.Log.Has("[INFO] Detach was signaled."));
  // The tool runs on and its package is still there for it, in a private
  // folder; it holds none of the caller's handles, so the caller is not kept waiting.
  EXPECT_EQ(programs::FindProcesses(L"rivlet.exe").size(), 1u);
  EXPECT_TRUE(IsPrivateStagingFolder(outcome.Folder)) << programs::ToUtf8(outcome.Folder);
  EXPECT_EQ(ReadFileBytes(outcome.Folder + L"\\patch.rvx"), PATCH_TEXT);
  EXPECT_TRUE(testing_support::FileExists(outcome.Folder + L"\\Mendora.Launcher.exe"));
  EXPECT_FALSE(testing_support::FileExists(outcome.Folder + L"\\patch.rvx.old"));
  EXPECT_FALSE(outcome.Result.PipesOutlivedProgram);
}

TEST_F(PatchPackage, OldToolsGetTheOldPackageAndItsFolder) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), FileVersion{6, 6, 17, 253}, "sleep 500\n"));
  std::string oldPatch;
  std::string patch;
  const auto outcome = RunPackage(L"TestPatchWithOld.exe", L"/detach", std::nullopt, [&](const std::wstring& folder) {
    oldPatch = ReadFileBytes(folder + L"\\patch.rvx.old");
    patch = ReadFileBytes(folder + L"\\patch.rvx");
  });

  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_EQ(outcome.Result.Stderr, "Warning: Detach is not supported by the currently installed version.\r\n");
  ASSERT_TRUE(outcome.Tool.has_value());
  EXPECT_EQ(outcome.Tool->CommandLine, L"\"" + ToolPath() + L"\" /encfile \"" + outcome.Folder +
                                           L"\\patch.rvx.old\" /var scriptdir \"" + outcome.Folder + L"\"");
  EXPECT_EQ(oldPatch, OLD_PATCH_TEXT);
  EXPECT_EQ(patch, PATCH_TEXT);
  EXPECT_TRUE(outcome.Log.Has("[INFO] use old: true"));
}

// A command prompt waits only for console programs and gives them its
// console; for a GUI program it goes straight on with a stale %ERRORLEVEL%.
// Windows' cmd.exe and Wine's behave alike here, so the package is run from
// an interactive cmd.exe, and a GUI copy of it shows that this tells the two apart.
TEST_F(PatchPackage, IsAConsoleProgramThatACommandPromptWaitsFor) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 7\n"));
  const std::string image = ReadFileBytes(BinaryFolder() + L"TestPatch.exe");
  ASSERT_EQ(SubsystemOf(image), IMAGE_SUBSYSTEM_WINDOWS_CUI);

  testing_support::ScratchFolder scratch(L"prompt");
  std::string guiImage = image;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(guiImage.data());
  auto* headers = reinterpret_cast<IMAGE_NT_HEADERS32*>(guiImage.data() + dos->e_lfanew);
  headers->OptionalHeader.Subsystem = IMAGE_SUBSYSTEM_WINDOWS_GUI;
  ASSERT_TRUE(testing_support::WriteFileBytes(scratch / L"GuiPatch.exe", guiImage));

  const std::wstring shell = programs::SystemFolderPath() + L"\\cmd.exe";
  auto runFromPrompt = [&](const std::wstring& package) {
    const std::string typed =
        "\"" + programs::ToUtf8(package) + "\" /detach\r\necho exit code %ERRORLEVEL%\r\nexit\r\n";
    EXPECT_TRUE(testing_support::WriteFileBytes(scratch / L"typed.txt", typed));
    testing_support::ProgramRequest request;
    request.Program = shell;
    request.InputFile = scratch / L"typed.txt";
    request.TimeoutMs = 60000;
    return testing_support::RunProgram(request).Stdout;
  };

  const std::string console = runFromPrompt(BinaryFolder() + L"TestPatch.exe");
  const std::size_t started = console.find(StartedLine);
  ASSERT_NE(started, std::string::npos) << console;
  EXPECT_GT(console.find("exit code 7\r\n"), started) << console;

  const std::string gui = runFromPrompt(scratch / L"GuiPatch.exe");
  EXPECT_EQ(gui.find("exit code 7"), std::string::npos) << gui;
  EXPECT_NE(gui.find("exit code 0\r\n"), std::string::npos) << gui;
  EXPECT_NE(gui.find(StartedLine), std::string::npos) << "the GUI copy still ran the launcher: " << gui;
}

TEST_F(PatchPackage, ReportsALauncherItCannotStartAndLeavesNothingBehind) {
  const std::set<std::wstring> tempBefore = TempEntries();
  const auto outcome = RunPackage(L"TestPatchBrokenLauncher.exe", L"/detach");
  EXPECT_EQ(outcome.Result.ExitCode, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
  EXPECT_EQ(outcome.Result.Stderr.rfind("Could not start Mendora.Launcher.exe. Error code: ", 0), 0u)
      << outcome.Result.Stderr;
  EXPECT_EQ(outcome.Result.Stderr.substr(outcome.Result.Stderr.size() - 3), ".\r\n");
  EXPECT_EQ(outcome.Result.Stdout, "");
  EXPECT_EQ(outcome.Log.FileCount, 0);
  EXPECT_EQ(TempEntries(), tempBefore) << "what it extracted was left behind";
}

// What the machine fails is no damaged package: its own exit code, and a
// line that names the step and the error, with nothing left behind.
TEST_F(PatchPackage, AFailureOfTheMachineIsNoDamagedPackage) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 0\n"));
  struct Row {
    const wchar_t* DisabledDll;  // or null
    programs::EnvironmentChanges Environment;
    bool MovedAway;    // the package's file is moved away as it starts
    const char* Line;  // the start of the one line on standard error, in UTF-8
  };
  const std::wstring noFolder = L"C:\\no such f\u00f6lder \u65e5";
  const Row rows[] = {
      // CNG, for the SHA-256 and the folder's random name, cannot be loaded.
      {L"bcrypt", {}, false, "Could not compute the SHA-256 of the patch package. Error code: 126.\r\n"},
      {nullptr, {{L"TMP", noFolder}, {L"TEMP", noFolder}}, false,
       "Could not create the folder C:\\no such f\xc3\xb6lder \xe6\x97\xa5\\ValcrestPatch-"},
      // The file is fine, wherever it went: the package cannot open it.
      {nullptr, {}, true, "Could not open the patch package "},
  };
  testing_support::ScratchFolder scratch(L"machine");
  const std::wstring package = scratch / L"TestPatch.exe";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Line);
    ASSERT_TRUE(CopyFileW((BinaryFolder() + L"TestPatch.exe").c_str(), package.c_str(), FALSE));
    testing_support::WineAppDefaults settings(L"TestPatch.exe");
    if (row.DisabledDll != nullptr) settings.DisableDll(row.DisabledDll);
    const std::set<std::wstring> tempBefore = TempEntries();
    testing_support::ProgramRequest request;
    request.Program = package;
    request.Environment = row.Environment;
    const std::wstring movedTo = scratch / L"moved.exe";
    if (row.MovedAway) {
      request.BeforeResume = [&](DWORD) { ASSERT_TRUE(MoveFileExW(package.c_str(), movedTo.c_str(), 0)); };
    }
    const auto result = testing_support::RunProgram(request);
    if (row.MovedAway) DeleteFileW(movedTo.c_str());
    EXPECT_EQ(result.ExitCode, static_cast<DWORD>(ERROR_INSTALL_FAILURE));
    EXPECT_EQ(result.Stderr.rfind(row.Line, 0), 0u) << result.Stderr;
    EXPECT_EQ(std::count(result.Stderr.begin(), result.Stderr.end(), '\n'), 1) << result.Stderr;
    EXPECT_EQ(result.Stdout, "");
    EXPECT_EQ(TempEntries(), tempBefore);
    EXPECT_FALSE(testing_support::ReadStandInRecord(ToolPath()).has_value());
  }
}

// Packages cut, changed or inconsistent in every region and every way the
// format knows (tests/package/package_corpus.py makes them, beside a whole
// one made the same way): each is refused before anything runs, and what
// was extracted meanwhile is removed again.
TEST_F(PatchPackage, RefusesEveryMalformedPackageAndLeavesNothingBehind) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 0\n"));
  const std::wstring corpus = BinaryFolder() + L"corpus\\";
  const auto whole = RunPackage(corpus + L"whole.exe", L"");
  ASSERT_EQ(whole.Result.ExitCode, 0u) << "the corpus's own whole package must run: " << whole.Result.Stderr;
  ASSERT_TRUE(whole.Tool.has_value());
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 0\n"));

  const std::vector<std::wstring> names = testing_support::FolderEntries(corpus, L"*.exe");
  ASSERT_GT(names.size(), 40u);
  for (const std::wstring& name : names) {
    if (name == L"whole.exe") continue;
    SCOPED_TRACE(programs::ToUtf8(name));
    const std::set<std::wstring> tempBefore = TempEntries();
    const auto outcome = RunPackage(corpus + name, L"/detach");
    EXPECT_EQ(outcome.Result.ExitCode, static_cast<DWORD>(ERROR_INSTALL_PACKAGE_INVALID));
    EXPECT_EQ(outcome.Result.Stderr, "The patch package is damaged. Error code: 1620.\r\n");
    EXPECT_EQ(outcome.Result.Stdout, "");
    EXPECT_EQ(TempEntries(), tempBefore);
    EXPECT_FALSE(outcome.Tool.has_value());
    EXPECT_EQ(outcome.Log.FileCount, 0);
  }
}

// From its making to the launcher's end the staging folder is held: nobody
// can rename it, and so put another folder in its place. The launcher in
// this package is a probe that leaves its folder as its working folder (a
// working folder is held too) and tries to rename it: exit 0 when refused.
TEST_F(PatchPackage, TheStagingFolderCannotBeRenamedWhileItIsUsed) {
  const auto outcome = RunPackage(L"TestPatchFolderProbe.exe", L"");
  EXPECT_EQ(outcome.Result.ExitCode, 0u) << "1: the probe renamed its folder; 2: it could not tell";
}

// A running program's file can be renamed and another put under its name:
// the package must check what it reads from that name against its own
// image, or it would run the other file's launcher.
TEST_F(PatchPackage, AnotherPackagePutInItsPlaceAfterItStartedNeverRuns) {
  ASSERT_TRUE(testing_support::InstallStandInTool(ToolPath(), CurrentTool, "exit 0\n"));
  testing_support::ScratchFolder scratch(L"swap");
  const std::wstring package = scratch / L"ValcrestPatch.exe";
  ASSERT_TRUE(CopyFileW((BinaryFolder() + L"TestPatch.exe").c_str(), package.c_str(), FALSE));
  bool swapped = false;
  testing_support::ProgramRequest request;
  request.Program = package;
  request.BeforeResume = [&](DWORD) {
    swapped = MoveFileW(package.c_str(), (scratch / L"Renamed.exe").c_str()) &&
              CopyFileW((BinaryFolder() + L"TestPatchWithOld.exe").c_str(), package.c_str(), FALSE);
  };
  const std::set<std::wstring> tempBefore = TempEntries();
  const auto result = testing_support::RunProgram(request);
  ASSERT_TRUE(swapped);
  EXPECT_EQ(result.ExitCode, static_cast<DWORD>(ERROR_INSTALL_PACKAGE_INVALID));
  EXPECT_EQ(result.Stderr, "The patch package is damaged. Error code: 1620.\r\n");
  EXPECT_EQ(TempEntries(), tempBefore);
  EXPECT_FALSE(testing_support::ReadStandInRecord(ToolPath()).has_value());
}

}  // namespace

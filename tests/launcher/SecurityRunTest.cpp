// What an ordinary local user can plant, link or point elsewhere before an
// elevated launcher runs, and what the launcher does with it.

#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runend/FinisherHandOver.h"
#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/PlantedLinks.h"
#include "tests/support/ProductRegistration.h"
#include "tests/support/RunLog.h"
#include "tests/support/RunRecordReader.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"
#include "tests/support/WineAppDefaults.h"

namespace {

using testing_support::BinaryFolder;
using testing_support::CurrentTool;
using testing_support::FileExists;
using testing_support::LauncherWorld;
using testing_support::LogFolder;
using testing_support::ProgramRequest;
using testing_support::ScratchFolder;

const std::string NoProduct = "Product installation path not found.\r\n";

ProgramRequest LauncherRequest() {
  ProgramRequest request;
  request.Program = BinaryFolder() + L"Mendora.Launcher.exe";
  return request;
}

struct PlantedDllRow {
  const wchar_t* Name;     // as it is planted, without ".dll"
  const wchar_t* Build;    // the planted DLL as built
  const wchar_t* Control;  // a program that does load it from its own folder
};

TEST(Security, ADllPlantedBesideTheLauncherIsNeverLoaded) {
  const PlantedDllRow rows[] = {
      {L"version", L"PlantedVersion.dll", L"VersionImporter.exe"},  // imported by name
      {L"imm32", L"PlantedDll.dll", L"DefaultDirsLoader.exe"},    // loaded by name by system DLLs
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(programs::ToUtf8(row.Name));
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
    control.Arguments = std::wstring(row.Name) + L".dll";
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

// The one loader of system DLLs takes them from the system folder itself,
// with the search flag or, where that is refused, by the full path; CNG comes
// through it. A DLL of the name planted beside the program, which Wine is
// told to prefer as Windows would from there, is never it, even where the
// program did not restrict its DLL search first.
TEST(Security, TheSystemLibraryLoaderNeverLoadsADllPlantedBesideTheProgram) {
  const struct {
    const wchar_t* Way;    // SystemLibraryLoader's argument
    const wchar_t* Dll;    // planted as <Dll>.dll
    const wchar_t* Build;  // the planted DLL as built
  } rows[] = {
      {L"", L"version", L"PlantedVersion.dll"},
      {L"--by-full-path", L"version", L"PlantedVersion.dll"},
      {L"--cng", L"bcrypt", L"PlantedDll.dll"},
  };
  ScratchFolder scratch(L"systemdll");
  for (const wchar_t* program : {L"DefaultDirsLoader.exe", L"SystemLibraryLoader.exe"}) {
    ASSERT_TRUE(CopyFileW((BinaryFolder() + program).c_str(), (scratch / program).c_str(), FALSE));
  }
  for (const auto& row : rows) {
    SCOPED_TRACE(programs::ToUtf8(row.Way));
    const std::wstring dllName = std::wstring(row.Dll) + L".dll";
    const std::wstring planted = scratch / dllName;
    ASSERT_TRUE(CopyFileW((BinaryFolder() + row.Build).c_str(), planted.c_str(), FALSE));
    const std::wstring marker = planted + L".loaded";
    testing_support::WineAppDefaults controlSettings(L"DefaultDirsLoader.exe");
    controlSettings.PreferNativeDll(row.Dll);
    testing_support::WineAppDefaults loaderSettings(L"SystemLibraryLoader.exe");
    loaderSettings.PreferNativeDll(row.Dll);

    ProgramRequest control;
    control.Program = scratch / L"DefaultDirsLoader.exe";
    control.Arguments = dllName;
    testing_support::RunProgram(control);
    ASSERT_TRUE(FileExists(marker)) << "the planted DLL should load into the control program";
    DeleteFileW(marker.c_str());

    ProgramRequest loader;
    loader.Program = scratch / L"SystemLibraryLoader.exe";
    loader.Arguments = row.Way;
    EXPECT_EQ(testing_support::RunProgram(loader).ExitCode, 0u);
    EXPECT_FALSE(FileExists(marker));
    DeleteFileW(marker.c_str());
    DeleteFileW(planted.c_str());
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

// The folder's access list as a descriptor text gives it; under Wine it is
// kept as mode bits, an Everyone entry as the "others" bits.
bool SetFolderAccess(const std::wstring& folder, const wchar_t* descriptor) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor, SDDL_REVISION_1, &security, nullptr)) {
    return false;
  }
  const mw::LocalMemory held(security);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  return GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted) &&
         SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

// An elevated launcher runs nothing that an ordinary user could have
// changed: a tool whose folder every user may write is not started; made
// safe, the same folder's tool runs.
TEST(Security, AToolInAFolderEveryUserMayChangeIsNeverRun) {
  LauncherWorld world(testing_support::ScratchTag{L"trust"});
  ASSERT_TRUE(world.InstallTool(CurrentTool, "exit 0\n"));
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  const std::wstring installer = world.InstallFolder() + L"\\installer";
  const std::wstring sha = testing_support::Sha256Text("package contents");
  const std::string refusal =
      "\\installer may be changed by Everyone (S-1-1-0), who is not trusted - rivlet.exe is not started.";
  struct Row {
    const wchar_t* Access;
    bool Runs;
  };
  const Row rows[] = {
      {L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", false},
      {L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(programs::ToUtf8(row.Access));
    ASSERT_TRUE(SetFolderAccess(installer, row.Access));
    testing_support::RemoveRunRecords();
    const auto outcome = world.Run(L"");
    const bool refused = std::any_of(outcome.Log.Messages.begin(), outcome.Log.Messages.end(), [&](const auto& m) {
      return m.rfind("[ERROR] ", 0) == 0 && m.ends_with(refusal);
    });
    EXPECT_EQ(refused, !row.Runs);
    EXPECT_EQ(outcome.Tool.has_value(), row.Runs);
    EXPECT_EQ(testing_support::ReadRunRecord(sha).Exists, row.Runs);
    if (row.Runs) {
      EXPECT_EQ(outcome.Result.ExitCode, 0u);
    } else {
      EXPECT_EQ(outcome.Result.ExitCode, 5u);
      EXPECT_EQ(outcome.Result.Stdout, "");
      EXPECT_EQ(outcome.Result.Stderr, "Patch could not be executed. Error code: 5.\r\n");
    }
  }
}

// The launcher's file renamed and another program put under its name, before
// the launcher's first instruction or while its run waits: the run's
// finisher is started from the launcher's image as held, so the replacement
// (the stand-in, which writes its record when it starts) never runs.
TEST(Security, ALauncherFileReplacedWhileItRunsNeverStartsTheReplacement) {
  LauncherWorld world(testing_support::ScratchTag{L"image"});
  ASSERT_TRUE(world.AddPackageFile(L"patch.rvx"));
  ASSERT_TRUE(world.InstallTool(CurrentTool, "sleep 1500\nexit 0\n"));
  const std::wstring launcher = world.LauncherPath();
  const std::wstring renamed = launcher + L".renamed";
  const std::wstring replacementRan = launcher + stand_in::RecordSuffix;
  const auto replace = [&] {
    return MoveFileW(launcher.c_str(), renamed.c_str()) &&
           CopyFileW(testing_support::BuiltStandInToolPath().c_str(), launcher.c_str(), FALSE);
  };

  // At its first instruction the file can still be renamed: what is at the
  // path then is not the launcher's image, and no finisher is started.
  bool replaced = false;
  ProgramRequest request;
  request.Environment[L"SFXCMD"] = L"";
  request.BeforeResume = [&](DWORD) { replaced = replace(); };
  auto outcome = world.Run(std::move(request));
  ASSERT_TRUE(replaced);
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_TRUE(outcome.Log.HasPrefix("[WARNING] Could not start the run's finisher, error: 1006 "));
  EXPECT_FALSE(FileExists(replacementRan)) << "the replacement ran";
  ASSERT_TRUE(DeleteFileW(launcher.c_str()) && MoveFileW(renamed.c_str(), launcher.c_str()));

  // Once it holds its file, the launcher cannot lose it while the run waits.
  const auto logsBefore = testing_support::LogFileNames();
  std::thread attempt([&] {
    while (!testing_support::ReadLogAddedSince(logsBefore).HasPrefix("[INFO] will execute process:")) Sleep(5);
    Sleep(300);
    replaced = replace();
  });
  outcome = world.Run(L"");
  attempt.join();
  EXPECT_FALSE(replaced) << "the held launcher file was renamed";
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_FALSE(outcome.Log.HasPrefix("[WARNING] Could not start the run's finisher"));
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(15000));
  EXPECT_FALSE(FileExists(replacementRan)) << "the replacement ran";
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
  EXPECT_TRUE(withService.Log.Has("[INFO] installation path found: " + programs::ToUtf8(world.InstallFolder()) +
                                  "\\"));
  EXPECT_TRUE(withService.Tool.has_value());
  EXPECT_FALSE(testing_support::ReadStandInRecord(planted).has_value());
}

// A user who creates the log folder first can make it a link to a folder of
// their choice; the run then goes on without a log.
TEST(Security, ALogFolderThatIsALinkIsNeverWrittenThrough) {
  const testing_support::CleanProductRegistration clean;
  ScratchFolder scratch(L"linked-log");
  const std::wstring target = scratch / L"chosen";
  ASSERT_TRUE(testing_support::CreateFolders(target));
  testing_support::RemoveTree(LogFolder());
  ASSERT_TRUE(testing_support::PlantLink(target, LogFolder()));
  const DWORD attributes = GetFileAttributesW(LogFolder().c_str());

  const auto result = testing_support::RunProgram(LauncherRequest());
  testing_support::RemoveLink(LogFolder());
  EXPECT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "the link should show as a reparse point";
  EXPECT_EQ(result.ExitCode, 3u);
  EXPECT_EQ(result.Stderr, NoProduct);
  EXPECT_EQ(result.Stdout, "");
  EXPECT_TRUE(testing_support::FolderEntries(target).empty());
}

// Where users may add files to the log folder (one made before it was
// protected), the log's name for the next seconds can be taken in advance.
TEST(Security, ALogFileNameThatIsALinkIsNeverWrittenThrough) {
  const testing_support::CleanProductRegistration clean;
  ScratchFolder scratch(L"linked-file");
  const std::wstring target = scratch / L"chosen.txt";
  const std::wstring folder = LogFolder();
  testing_support::CreateFolders(folder);
  using Plant = std::function<bool(const std::wstring& name)>;
  const std::pair<const char*, Plant> plants[] = {
      {"symbolic link", [&](const std::wstring& name) { return testing_support::PlantLink(target, name); }},
      {"hard link", [&](const std::wstring& name) { return CreateHardLinkW(name.c_str(), target.c_str(), nullptr); }},
  };
  for (const auto& [kind, plant] : plants) {
    SCOPED_TRACE(kind);
    ASSERT_TRUE(testing_support::WriteFileBytes(target, "the user's own file"));
    std::vector<std::wstring> names;
    bool planted = true;
    auto request = LauncherRequest();
    request.BeforeResume = [&](DWORD processId) {
      const long long now = static_cast<long long>(std::time(nullptr));
      for (long long second = now - 1; second <= now + 3; ++second) {
        names.push_back(folder + L"\\Mendora.Launcher-" + std::to_wstring(second) + L"-" +
                        std::to_wstring(processId) + L".txt");
        planted = plant(names.back()) && planted;
      }
    };
    const auto result = testing_support::RunProgram(request);
    for (const auto& name : names) testing_support::RemoveLink(name);
    EXPECT_TRUE(planted);
    EXPECT_EQ(result.ExitCode, 3u);
    EXPECT_EQ(result.Stderr, NoProduct);
    EXPECT_EQ(testing_support::ReadFileBytes(target), "the user's own file");
  }
}

}  // namespace

namespace {

// Handles for a hand-over made by hand, each inheritable, so that it has
// the same value in a finisher this test starts: the read ends of two pipes
// whose writers are gone, a "launcher" that has already ended, and a file
// for the log.
struct HandMadeHandOver {
  explicit HandMadeHandOver(const std::wstring& logPath) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    for (mw::UniqueHandle* readEnd : {&StdoutRead, &StderrRead}) {
      HANDLE read = nullptr;
      HANDLE write = nullptr;
      if (CreatePipe(&read, &write, &inheritable, 0)) CloseHandle(write);
      readEnd->Reset(read);
    }
    programs::ProgramStart start;
    start.Program = programs::SystemFolderPath() + L"\\cmd.exe";
    start.Arguments = L"/c exit";
    if (programs::StartProgram(start, Launcher) == 0) {
      WaitForSingleObject(Launcher.Process.Get(), 30000);
      SetHandleInformation(Launcher.Process.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    Log.Reset(CreateFileW(logPath.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inheritable, CREATE_ALWAYS, 0, nullptr));
  }

  bool Ready() const { return StdoutRead && StderrRead && Launcher.Process && Log; }

  // What a launcher would write: right in every part, without a record or a mutex.
  FinisherHandOver Message() const {
    FinisherHandOver handOver{};
    handOver.Layout = FinisherHandOverLayout;
    handOver.LauncherProcessId = Launcher.ProcessId;
    handOver.LauncherProcess = Value(Launcher.Process.Get());
    handOver.StdoutRead = Value(StdoutRead.Get());
    handOver.StderrRead = Value(StderrRead.Get());
    handOver.LogFile = Value(Log.Get());
    return handOver;
  }

  static std::uint64_t Value(HANDLE handle) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle)); }

  mw::UniqueHandle StdoutRead;
  mw::UniqueHandle StderrRead;
  programs::StartedProgram Launcher;
  mw::UniqueFileHandle Log;
};

// A launcher started by hand as a finisher acts only on a hand-over of the
// layout a launcher writes whose every handle is of the kind a launcher
// hands over: a finisher never writes where its starter could not. Each row
// is right in every part but one. The control, right in all, shows what
// acting looks like: with no tool handed over and its launcher gone, the
// finisher logs that the launcher stopped as it started the tool.
TEST(Security, AFinisherStartedByHandActsOnlyOnAHandOverRightInEveryPart) {
  ScratchFolder scratch(L"handover");
  const std::wstring logPath = scratch / L"log.txt";
  // `input`: the value of the pipe the finisher reads its hand-over from.
  using Change = std::function<void(FinisherHandOver&, std::uint64_t input)>;
  const std::pair<const char*, Change> rows[] = {
      {"control", [](FinisherHandOver&, std::uint64_t) {}},
      {"another layout", [](FinisherHandOver& h, std::uint64_t) { ++h.Layout; }},
      {"launcher of another id", [](FinisherHandOver& h, std::uint64_t) { h.LauncherProcessId += 4; }},
      {"standard output a file", [](FinisherHandOver& h, std::uint64_t) { h.StdoutRead = h.LogFile; }},
      {"standard error a file", [](FinisherHandOver& h, std::uint64_t) { h.StderrRead = h.LogFile; }},
      {"log a pipe", [](FinisherHandOver& h, std::uint64_t) { h.LogFile = h.StdoutRead; }},
      {"mutex no handle", [](FinisherHandOver& h, std::uint64_t) { h.PatchRunMutex = 0x7FFFFFF0; }},
      {"record key a file", [](FinisherHandOver& h, std::uint64_t) {
         h.RecordKey = h.LogFile;
         std::wcscpy(h.RunId, L"{00000000-0000-4000-8000-000000000000}");
       }},
      {"every handle its input pipe", [](FinisherHandOver& h, std::uint64_t input) {
         h.LauncherProcessId = GetCurrentProcessId();
         h.LauncherProcess = h.StdoutRead = h.StderrRead = h.LogFile = h.PatchRunMutex = h.RecordKey = input;
       }},
  };
  for (const auto& [name, change] : rows) {
    SCOPED_TRACE(name);
    const bool control = std::string(name) == "control";
    const HandMadeHandOver handles(logPath);
    ASSERT_TRUE(handles.Ready());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readValue = nullptr;
    HANDLE writeValue = nullptr;
    ASSERT_TRUE(CreatePipe(&readValue, &writeValue, &inheritable, 2 * sizeof(FinisherHandOver)));
    const mw::UniqueHandle readEnd(readValue);
    mw::UniqueHandle writeEnd(writeValue);
    ASSERT_TRUE(SetHandleInformation(writeEnd.Get(), HANDLE_FLAG_INHERIT, 0));
    FinisherHandOver handOver = handles.Message();
    change(handOver, HandMadeHandOver::Value(readEnd.Get()));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writeEnd.Get(), &handOver, sizeof handOver, &written, nullptr));

    const auto logsBefore = testing_support::LogFileNames();
    programs::ProgramStart start;
    start.Program = BinaryFolder() + L"Mendora.Launcher.exe";
    start.Arguments = FinisherArgument;
    start.Handles.Input = readEnd.Get();
    programs::StartedProgram finisher;
    ASSERT_EQ(programs::StartProgram(start, finisher), 0u);
    // No tool follows: the launcher that made this hand-over has gone.
    writeEnd.Close();
    ASSERT_EQ(WaitForSingleObject(finisher.Process.Get(), 30000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeProcess(finisher.Process.Get(), &exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(ERROR_INVALID_DATA));
    const std::string logged = testing_support::ReadFileBytes(logPath);
    if (control) {
      EXPECT_NE(logged.find("[WARNING] The launcher was stopped as it started rivlet.exe"), std::string::npos)
          << logged;
    } else {
      EXPECT_EQ(logged, "");
    }
    EXPECT_EQ(testing_support::ReadLogAddedSince(logsBefore).FileCount, 0);
  }
}

}  // namespace

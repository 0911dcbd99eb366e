// The run's end after the launcher, end to end: whatever ends the launcher,
// the tool's writes keep succeeding and its end reaches the log, the record
// and the event log; no run's end lands in another run's record; the log
// keeps a bounded share of the tool's output; a finisher that gave up still
// reads the tool's pipes.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/support/EventTrace.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/RunLog.h"
#include "tests/support/RunRecordReader.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::CurrentTool;
using testing_support::LauncherWorld;
using programs::ToUtf8;

const std::wstring PackageSha256 = testing_support::Sha256Text("package contents");

// Opens every patching tool as soon as it runs, so that its exit code can be
// read after the launcher that started it has gone.
class ToolCatcher {
 public:
  ToolCatcher()
      : Catcher([this] {
          while (!Stop) {
            Catch();
            Sleep(2);
          }
        }) {}
  ~ToolCatcher() {
    Stop = true;
    Catcher.join();
  }

  // Waits for the tools caught so far to end; their exit codes.
  std::vector<DWORD> ExitCodes(DWORD timeoutMs) {
    Catch();
    const std::lock_guard lock(Guard);
    std::vector<DWORD> codes;
    for (const auto& tool : Tools) {
      DWORD code = STILL_ACTIVE;
      if (WaitForSingleObject(tool.Get(), timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(tool.Get(), &code);
      codes.push_back(code);
    }
    return codes;
  }

 private:
  void Catch() {
    const std::lock_guard lock(Guard);
    for (auto& found : programs::OpenProcesses(L"rivlet.exe", SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION)) {
      bool known = false;
      for (const auto& tool : Tools) known = known || GetProcessId(tool.Get()) == found.Id;
      if (!known) Tools.push_back(std::move(found.Handle));
    }
  }

  std::mutex Guard;
  std::vector<mw::UniqueHandle> Tools;
  std::atomic<bool> Stop = false;
  std::thread Catcher;
};

// When a launcher run is to be ended: once its log has a message starting
// with `After` (at once when empty), `DelayMs` later.
struct KillMoment {
  std::string After;
  DWORD DelayMs;
};

// Ends the launcher with TerminateProcess at the moment, unless it ended first.
std::thread KillAt(DWORD processId, const KillMoment& moment, const std::set<std::wstring>& logsBefore) {
  return std::thread([processId, moment, logsBefore] {
    const mw::UniqueHandle launcher(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!launcher) return;
    while (!moment.After.empty() && !testing_support::ReadLogAddedSince(logsBefore).HasPrefix(moment.After)) {
      if (WaitForSingleObject(launcher.Get(), 1) == WAIT_OBJECT_0) return;
    }
    if (WaitForSingleObject(launcher.Get(), moment.DelayMs) == WAIT_TIMEOUT) TerminateProcess(launcher.Get(), 0xDEAD);
  });
}

class Finisher : public ::testing::Test {
 protected:
  explicit Finisher(const wchar_t* launcherBuild = L"Mendora.Launcher.ShortLimits.exe")
      : World(testing_support::ScratchTag{L"finisher"}, launcherBuild) {
    World.AddPackageFile(L"patch.rvx");
  }

  LauncherWorld World;
};

// The launcher ended by TerminateProcess at moments spread over a run, with
// and without a detach: before the tool starts, while it runs, right after
// the marker, while the pumps stop, after the tool's end. Whatever the
// moment, no write of the tool fails, the record never says "ended" with a
// code the tool did not return, and once the tool has ended the record and
// the log say so.
TEST_F(Finisher, ALauncherEndedAtAnyMomentLeavesARecordAndALogThatTellTheTruth) {
  ASSERT_TRUE(World.InstallTool(CurrentTool,
                                "sleep 600\nout step 1\\n\nout Patch validation finished\\n\nsleep 400\n"
                                "out-or-fail after the marker\\n\nsleep 300\nout-or-fail last line\\n\nexit 7\n"));
  const std::string toolEnd = "[ERROR] " + ToUtf8(World.ToolPath()) + " returned 7";
  struct Row {
    const wchar_t* Sfxcmd;
    KillMoment Moment;
    bool ToolRunsOnAfterTheKill;  // the launcher is surely stopped while the tool runs
  };
  const Row rows[] = {
      {L"/detach", {"", 0}, false},
      {L"/detach", {"[INFO] will execute process:", 0}, false},
      {L"/detach", {"[INFO] will execute process:", 150}, true},
      {L"/detach", {"[INFO] Message for detach found", 0}, false},
      {L"/detach", {"[INFO] join stdout.", 0}, false},
      {L"", {"[INFO] will execute process:", 500}, true},
      {L"", {"[INFO] will execute process:", 900}, true},
      {L"", {"[INFO] join stdout.", 0}, false},
      {L"", {"[INFO] END joins.", 0}, false},
      {L"", {toolEnd, 0}, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(ToUtf8(row.Sfxcmd) + " killed after '" + row.Moment.After + "' +" +
                 std::to_string(row.Moment.DelayMs) + " ms");
    testing_support::RemoveRunRecords();
    const testing_support::EventTrace trace;
    ToolCatcher tools;
    const auto logsBefore = testing_support::LogFileNames();
    std::thread killer;
    testing_support::ProgramRequest request;
    request.Environment[L"SFXCMD"] = row.Sfxcmd;
    request.TimeoutMs = 30000;
    request.BeforeResume = [&](DWORD processId) { killer = KillAt(processId, row.Moment, logsBefore); };
    const auto outcome = World.Run(std::move(request));
    killer.join();

    const std::vector<DWORD> toolCodes = tools.ExitCodes(10000);
    ASSERT_LE(toolCodes.size(), 1u);
    for (const DWORD code : toolCodes) EXPECT_EQ(code, 7u) << "a write of the tool failed, or it did not end";
    ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(15000));
    const auto record = testing_support::ReadRunRecord(PackageSha256);
    if (toolCodes.empty()) {
      EXPECT_FALSE(record.Exists) << "a run that started no tool wrote a record";
      continue;
    }
    // A record exists unless the launcher was ended between the tool's start and the record's.
    if (record.Exists) {
      EXPECT_EQ(record.State, L"ended");
      EXPECT_EQ(record.ExitCode, std::optional<DWORD>(7));
    }
    // The run's log as its finisher left it: Run removed it only if nothing held it any more.
    const auto log = testing_support::FileExists(outcome.Log.Path) ? testing_support::ReadLogFile(outcome.Log.Path)
                                                                    : outcome.Log;
    ASSERT_TRUE(log.Found);
    DeleteFileW(log.Path.c_str());
    EXPECT_TRUE(log.Has(toolEnd));
    const auto events = trace.WaitForEventsWith(log.Path, 1, 5000);
    const bool someEventCarries7 = std::any_of(events.begin(), events.end(), [](const auto& event) {
      return event.Strings.size() > 1 && event.Strings[1] == L"7";
    });
    EXPECT_TRUE(someEventCarries7);
    if (row.ToolRunsOnAfterTheKill) {
      EXPECT_TRUE(log.Has("[WARNING] The launcher was stopped before rivlet.exe ended."));
      EXPECT_TRUE(log.Has("[INFO] rivlet.exe: last line"));
      // The launcher sent none: the finisher's is the run's one event.
      EXPECT_EQ(events.size(), 1u);
    }
  }
}

// A retry of the same patch while the first run's finisher still drains the
// pipes that the first tool's child holds: it is refused with 1618, or, had
// it run, the first run's end would never be written into its record.
TEST(FinisherRace, ASecondRunDuringTheFirstRunsDrainNeverGetsTheFirstRunsEnd) {
  LauncherWorld world(testing_support::ScratchTag{L"finisherrace"});
  world.AddPackageFile(L"patch.rvx");
  const std::wstring grandchildScript = world.InstallFolder() + L"\\grandchild.script";
  ASSERT_TRUE(testing_support::WriteFileBytes(grandchildScript, "sleep 8000\n"));
  ASSERT_TRUE(world.InstallTool(CurrentTool, "grandchild " + ToUtf8(grandchildScript) +
                                                 "\nout Patch validation finished\\n\nsleep 1000\nexit 0\n"));
  const ULONGLONG firstStart = GetTickCount64();
  const auto first = world.Run(L"/detach");
  ASSERT_EQ(first.Result.ExitCode, 0u);
  // The second run's tool fails, as a tool may when another patch is half applied.
  ASSERT_TRUE(testing_support::WriteFileBytes(world.ToolPath() + stand_in::ScriptSuffix, "sleep 3000\nexit 1603\n"));
  const ULONGLONG elapsed = GetTickCount64() - firstStart;
  if (elapsed < 2500) Sleep(static_cast<DWORD>(2500 - elapsed));

  const auto second = world.Run(L"wait=0");
  // Both finishers are gone once the first one's drain is over.
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(20000));
  const auto record = testing_support::ReadRunRecord(PackageSha256);
  if (second.Result.ExitCode == 1618) {
    EXPECT_EQ(record.ExitCode, std::optional<DWORD>(0)) << "the first run's own end";
  } else {
    EXPECT_EQ(second.Result.ExitCode, 1603u);
    EXPECT_EQ(record.State, L"ended");
    EXPECT_EQ(record.ExitCode, std::optional<DWORD>(1603)) << "the first run's end was written over the second's";
  }
  EXPECT_EQ(second.Result.ExitCode, 1618u) << "the mark should last until the first run's end is written";
  DeleteFileW(first.Log.Path.c_str());
}

// Far more output after a detach than the log keeps (64 KiB in this build):
// the log stops at the cap, and one warning counts what was left out, so
// that what was kept and what was counted add up to what the tool wrote.
TEST_F(Finisher, KeepsNoMoreOfTheToolsLinesThanTheCapAndCountsTheRest) {
  constexpr std::size_t Bytes = 2'000'000;
  constexpr std::size_t Cap = 64 * 1024;
  ASSERT_TRUE(World.InstallTool(CurrentTool, "out Patch validation finished\\n\nsleep 1000\nflood-out " +
                                                 std::to_string(Bytes) + "\nexit 0\n"));
  const auto outcome = World.Run(L"/detach");
  ASSERT_EQ(outcome.Result.ExitCode, 0u);
  ASSERT_EQ(testing_support::WaitForRunRecordState(PackageSha256, L"ended", 30000).State, L"ended");
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(15000));
  const auto log = testing_support::ReadLogFile(outcome.Log.Path);
  DeleteFileW(outcome.Log.Path.c_str());

  std::size_t lines = 0;
  for (std::size_t written = 0, number = 1; written < Bytes; ++number, ++lines) {
    written += ("stdout " + std::to_string(number) + "\n").size();
  }
  std::size_t keptLines = 0;
  std::size_t keptBytes = 0;
  std::string warning;
  const std::string Prefix = "[INFO] rivlet.exe: ";
  for (const auto& message : log.Messages) {
    if (message.rfind(Prefix + "stdout ", 0) == 0) {
      ++keptLines;
      keptBytes += message.size() - Prefix.size() + 1;
    }
    if (message.rfind("[WARNING] The log keeps at most", 0) == 0) warning = message;
  }
  // The launcher's own lines, besides the tool's, take well under 4 KiB.
  EXPECT_LE(log.Bytes.size(), Cap + 4096);
  EXPECT_GT(keptLines, 0u);
  unsigned long long leftOutLines = 0;
  unsigned long long leftOutBytes = 0;
  ASSERT_EQ(sscanf(warning.c_str(),
                   "[WARNING] The log keeps at most 65536 bytes of rivlet.exe's lines: %llu lines (%llu bytes of "
                   "its output) were left out.",
                   &leftOutLines, &leftOutBytes),
            2)
      << warning;
  EXPECT_EQ(keptLines + leftOutLines, lines);
  // Every kept line had its LF; what was left out counts the tool's bytes as they came.
  EXPECT_EQ(keptBytes + leftOutBytes, Bytes);
  EXPECT_TRUE(log.Has("[INFO] rivlet.exe returned with ERROR_SUCCESS."));
}

// After the give-up (8 seconds in this build) the finisher logs no more of
// the tool's output but reads it on: the tool's later write succeeds.
TEST_F(Finisher, AfterGivingUpStillReadsTheToolsOutputToItsEnd) {
  ToolCatcher tools;
  ASSERT_TRUE(World.InstallTool(CurrentTool, "out Patch validation finished\\n\nsleep 9500\n"
                                             "out-or-fail after the give-up\\n\nexit 9\n"));
  const auto outcome = World.Run(L"/detach");
  ASSERT_EQ(outcome.Result.ExitCode, 0u);
  const auto codes = tools.ExitCodes(30000);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], 9u) << "the write after the give-up failed";
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(15000));
  EXPECT_EQ(testing_support::ReadRunRecord(PackageSha256).State, L"abandoned");
  const auto log = testing_support::ReadLogFile(outcome.Log.Path);
  DeleteFileW(outcome.Log.Path.c_str());
  EXPECT_TRUE(log.HasPrefix("[WARNING] rivlet.exe still runs 8 seconds after its launcher ended"));
  EXPECT_FALSE(log.Has("[INFO] rivlet.exe: after the give-up"));
}

}  // namespace

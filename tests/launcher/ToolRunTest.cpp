#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/EventTrace.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/RegistryWriteTrace.h"
#include "tests/support/RunLog.h"
#include "tests/support/RunRecordReader.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::FileVersion;
using testing_support::LauncherOutcome;
using testing_support::CurrentTool;
using testing_support::LauncherWorld;
using testing_support::StartedLine;
using testing_support::SucceededLine;
using programs::ToUtf8;

// The launcher's console is a text-mode stream: every LF goes out as CR LF.
std::string AsConsoleText(const std::string& text) {
  std::string converted;
  for (char c : text) {
    if (c == '\n') converted += '\r';
    converted += c;
  }
  return converted;
}

bool ToolStillRuns() { return !programs::FindProcesses(L"rivlet.exe").empty(); }

class ToolRun : public ::testing::Test {
 protected:
  explicit ToolRun(const wchar_t* launcherBuild = L"Mendora.Launcher.exe")
      : World(testing_support::ScratchTag{L"toolrun"}, launcherBuild) {
    World.AddPackageFile(L"patch.rvx");
  }

  LauncherOutcome RunTool(const std::string& script, const std::optional<std::wstring>& sfxcmd = L"",
                          const FileVersion& version = CurrentTool) {
    EXPECT_TRUE(World.InstallTool(version, script));
    return World.Run(sfxcmd, 60000);
  }

  LauncherWorld World;
};

TEST_F(ToolRun, SuccessEchoesTheToolAndJoinsThePumpsInOrder) {
  const testing_support::EventTrace trace;
  const testing_support::RegistryWriteTrace writes;
  ASSERT_TRUE(writes.Readable());
  ASSERT_TRUE(World.InstallTool(CurrentTool, "out first line\\n\nerr a warning\\n\nout last line\\n\nexit 0\n"));
  testing_support::ProgramRequest request;
  request.Environment[L"SFXCMD"] = L"";
  request.TimeoutMs = 60000;
  testing_support::RegistryWriteTrace::Enable(request.Environment);
  const auto outcome = World.Run(request);
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "first line\r\nlast line\r\n" + SucceededLine);
  EXPECT_EQ(outcome.Result.Stderr, "a warning\r\n");

  const auto& log = outcome.Log;
  const int stdoutJoin = log.IndexOf("[INFO] join stdout.");
  EXPECT_GE(stdoutJoin, 0);
  EXPECT_EQ(log.IndexOf("[INFO] join stderr."), stdoutJoin + 1);
  EXPECT_EQ(log.IndexOf("[INFO] END joins."), stdoutJoin + 2);
  EXPECT_EQ(log.IndexOf("[INFO] rivlet.exe returned with ERROR_SUCCESS."), stdoutJoin + 3);
  EXPECT_FALSE(log.HasPrefix("[INFO] CancelIoEx"));

  // A run that waited completes its record and its one event itself.
  const auto record = testing_support::ReadRunRecord(testing_support::Sha256Text("package contents"));
  EXPECT_EQ(record.State, L"ended");
  EXPECT_EQ(record.ExitCode, 0u);
  EXPECT_EQ(record.Detached, 0u);
  // A reader who sees "ended" sees the code too: it is written first.
  EXPECT_EQ(writes.ValuesSet({L"State", L"ExitCode", L"Ended"}),
            (std::vector<std::wstring>{L"State", L"ExitCode", L"Ended", L"State"}));
  const auto events = trace.WaitForEventsWith(outcome.Log.Path, 1, 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(events[0].Id, 1000u);
  EXPECT_EQ(events[0].Strings.front(), L"Patch execution finished successfully.");
}

// A run's log is read while it runs (by admins, by collection tools): no line
// waits in a buffer for the next one or for the end of the run.
TEST_F(ToolRun, EveryLogLineIsOnDiskAsSoonAsItIsWritten) {
  ASSERT_TRUE(World.InstallTool(CurrentTool, "sleep 60000\nexit 0\n"));
  const auto logsBefore = testing_support::LogFileNames();
  std::atomic<bool> ended = false;
  std::thread run([&] {
    World.Run(L"", 120000);
    ended = true;
  });
  bool seenWhileTheToolRuns = false;
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (!seenWhileTheToolRuns && !ended && GetTickCount64() < deadline) {
    seenWhileTheToolRuns = testing_support::ReadLogAddedSince(logsBefore).HasPrefix("[INFO] will execute process: ") &&
                           ToolStillRuns();
    if (!seenWhileTheToolRuns) Sleep(50);
  }
  // The tool would sleep on: ending it ends the run, also if it started late.
  while (!ended) {
    programs::EndProcesses(L"rivlet.exe");
    Sleep(50);
  }
  run.join();
  EXPECT_TRUE(seenWhileTheToolRuns);
}

TEST_F(ToolRun, FailureCodesArePrintedSignedAndReturnedInFull) {
  auto outcome = RunTool("exit 3\n");
  EXPECT_EQ(outcome.Result.ExitCode, 3u);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine);
  EXPECT_EQ(outcome.Result.Stderr, "Patch execution finished with error code: 3.\r\n");
  EXPECT_TRUE(outcome.Log.Has("[ERROR] " + ToUtf8(World.ToolPath()) + " returned 3"));

  outcome = RunTool("exit 0xC0000005\n");
  EXPECT_EQ(outcome.Result.ExitCode, 0xC0000005u);
  EXPECT_EQ(outcome.Result.Stderr, "Patch execution finished with error code: -1073741819.\r\n");
  EXPECT_TRUE(outcome.Log.Has("[ERROR] " + ToUtf8(World.ToolPath()) + " returned -1073741819"));
}

TEST_F(ToolRun, OldToolsAreDrainedButNotEchoed) {
  const auto outcome = RunTool("out hidden\\n\nerr hidden too\\n\nflood 200000\nexit 0\n", L"", {7, 9, 5, 318});
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + SucceededLine);
  EXPECT_EQ(outcome.Result.Stderr, "");
}

TEST_F(ToolRun, DetachEndsTheRunWhileTheToolGoesOn) {
  const auto outcome =
      RunTool("out step 1\\n\nout step 2\\n\nout step 3\\n\nout Patch validation finished\\n\nsleep 60000\n", L"/detach");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_FALSE(outcome.Result.TimedOut);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "step 1\r\nstep 2\r\nstep 3\r\nPatch validation finished\r\n");
  EXPECT_EQ(outcome.Result.Stderr, "");
  EXPECT_TRUE(ToolStillRuns());
  // Only the launcher held the test's pipes: the tool inherited none of its handles.
  EXPECT_FALSE(outcome.Result.PipesOutlivedProgram);

  const auto& log = outcome.Log;
  const int found = log.IndexOf("[INFO] Message for detach found - event will be signaled.");
  const int cancelStdout = log.IndexOf("[INFO] join stdout.") - 2;
  ASSERT_GE(found, 0);
  EXPECT_GT(cancelStdout, found);
  EXPECT_EQ(log.Messages[cancelStdout].rfind("[INFO] CancelIoEx on stdout returned ", 0), 0u);
  EXPECT_EQ(log.Messages[cancelStdout + 1].rfind("[INFO] CancelIoEx on stderr returned ", 0), 0u);
  EXPECT_EQ(log.IndexOf("[INFO] join stderr."), cancelStdout + 3);
  EXPECT_EQ(log.IndexOf("[INFO] END joins."), cancelStdout + 4);
  EXPECT_EQ(log.IndexOf("[INFO] Detach was signaled."), cancelStdout + 5);
}

// After a detach the finisher takes over the tool's pipes and its end: the tool's
// later write succeeds (the tool would end with WriteFailedExitCode), and the
// log, the record and the event log learn how the tool ended.
TEST_F(ToolRun, ADetachedToolsEndReachesTheLogTheRecordAndTheEventLog) {
  const std::wstring sha = testing_support::Sha256Text("package contents");
  const testing_support::EventTrace trace;
  ASSERT_TRUE(trace.Readable());
  // An earlier run's end goes as this run begins: a rule that reads ExitCode
  // alone must not see its 0 while this run still patches.
  ASSERT_TRUE(testing_support::WriteEarlierRunEnd(sha, 0));
  const auto outcome = RunTool(
      "out Patch validation finished\\n\nsleep 500\nout-or-fail after the marker\\n\nsleep 3000\n"
      "out last words without a line feed\nexit 7\n",
      L"/detach");
  const auto running = testing_support::ReadRunRecord(sha);
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "Patch validation finished\r\n");
  EXPECT_FALSE(outcome.Result.PipesOutlivedProgram) << "the finisher holds none of the launcher's standard handles";
  EXPECT_EQ(running.State, L"running");
  EXPECT_FALSE(running.ExitCode.has_value());
  EXPECT_EQ(running.Detached, 1u);
  EXPECT_EQ(running.ToolVersion, L"7.9.12.40");
  EXPECT_EQ(running.Log, outcome.Log.Path);
  EXPECT_EQ(running.Started.size(), 24u);

  const auto ended = testing_support::WaitForRunRecordState(sha, L"ended", 30000);
  EXPECT_EQ(ended.ExitCode, 7u);
  EXPECT_EQ(ended.Started, running.Started);
  EXPECT_EQ(ended.Ended.size(), 24u);
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(30000));

  const auto log = testing_support::ReadLogFile(outcome.Log.Path);
  DeleteFileW(outcome.Log.Path.c_str());
  const int detached = log.IndexOf("[INFO] Detach was signaled.");
  ASSERT_GE(detached, 0);
  EXPECT_GT(log.IndexOf("[INFO] rivlet.exe: after the marker"), detached);
  ASSERT_GE(log.Messages.size(), 3u);
  EXPECT_EQ(log.Messages[log.Messages.size() - 3], "[INFO] rivlet.exe: last words without a line feed");
  EXPECT_EQ(log.Messages[log.Messages.size() - 2], "[INFO] The launcher had already ended; rivlet.exe ended now.");
  EXPECT_EQ(log.Messages.back(), "[ERROR] " + ToUtf8(World.ToolPath()) + " returned 7");

  const auto events = trace.WaitForEventsWith(outcome.Log.Path, 2, 10000);
  ASSERT_EQ(events.size(), 2u);
  const std::vector<std::wstring> facts = {L"7.9.12.40", sha, outcome.Log.Path};
  EXPECT_EQ(events[0].Type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(events[0].Id, 1002u);
  EXPECT_EQ(events[0].StringCount, 5);
  EXPECT_EQ(events[0].Strings, (std::vector<std::wstring>{L"Patch validation finished; rivlet.exe goes on patching.",
                                                          L"0", facts[0], facts[1], facts[2]}));
  EXPECT_EQ(events[1].Type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(events[1].Id, 1101u);
  EXPECT_EQ(events[1].Strings, (std::vector<std::wstring>{L"Patch execution finished with error code: 7.", L"7",
                                                          facts[0], facts[1], facts[2]}));
}

TEST_F(ToolRun, AMarkerSplitAcrossTwoWritesIsFound) {
  const auto outcome = RunTool("out Patch valid\nsleep 200\nout ation finished\nsleep 60000\n", L"/detach");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_TRUE(outcome.Log.Has("[INFO] Detach was signaled."));
}

TEST_F(ToolRun, OnlyTheExactMarkerOnStandardOutputDetaches) {
  for (const char* script : {"err Patch validation finished\\n\nsleep 1000\nexit 0\n",
                             "out patch Validation Finished\\n\nsleep 1000\nexit 0\n"}) {
    const auto outcome = RunTool(script, L"/detach");
    EXPECT_EQ(outcome.Result.ExitCode, 0u) << script;
    EXPECT_FALSE(outcome.Log.Has("[INFO] Detach was signaled.")) << script;
    EXPECT_TRUE(outcome.Log.Has("[INFO] rivlet.exe returned with ERROR_SUCCESS.")) << script;
  }
}

TEST_F(ToolRun, TooOldForDetachWaitsForTheToolsEnd) {
  const auto outcome = RunTool("out Patch validation finished\\n\nsleep 1000\nexit 7\n", L"/detach", {7, 9, 10, 0});
  EXPECT_EQ(outcome.Result.ExitCode, 7u);
  EXPECT_EQ(outcome.Result.Stderr,
            "Warning: Detach is not supported by the currently installed version.\r\n"
            "Patch execution finished with error code: 7.\r\n");
  EXPECT_FALSE(outcome.Log.HasPrefix("[INFO] Message for detach found"));
}

TEST_F(ToolRun, NonAsciiInvalidAndZeroBytesAreEchoedAsCharacters) {
  const auto outcome = RunTool("out caf\\xC3\\xA9 \\x00 \\xE4\\xB8\nout \\xAD \\xE9 end\nexit 0\n");
  const char e9 = static_cast<char>(0xE9);
  wchar_t ansiE9 = 0;
  MultiByteToWideChar(CP_ACP, 0, &e9, 1, &ansiE9, 1);
  const std::string expected = std::string("caf\xC3\xA9 \0 \xE4\xB8\xAD ", 12) + ToUtf8(std::wstring(1, ansiE9)) + " end";
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + expected + SucceededLine);
}

TEST_F(ToolRun, TheCharacterUFFFFDoesNotSilenceTheRestOfTheRun) {
  // U+FFFF is the wide streams' end-of-file value: writing it through one
  // fails the stream, and every later write to it is lost.
  const auto outcome = RunTool("out before \\xEF\\xBF\\xBF after\\n\nexit 0\n");
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "before \xEF\xBF\xBF after\r\n" + SucceededLine);
}

TEST_F(ToolRun, MegabytesOnBothStreamsArriveComplete) {
  constexpr std::size_t Bytes = 3 * 1024 * 1024 + 7;
  const auto outcome = RunTool("flood " + std::to_string(Bytes) + "\nexit 0\n");
  auto numberedLines = [](const std::string& name) {
    std::string text;
    for (int line = 1; text.size() < Bytes; ++line) text += name + " " + std::to_string(line) + "\n";
    text.resize(Bytes);
    return AsConsoleText(text);
  };
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_TRUE(outcome.Result.Stdout == StartedLine + numberedLines("stdout") + SucceededLine);
  EXPECT_TRUE(outcome.Result.Stderr == numberedLines("stderr"));
}

TEST_F(ToolRun, OutputWithoutAFinalNewlineIsKept) {
  const auto outcome = RunTool("out no newline at the end\nexit 0\n");
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "no newline at the end" + SucceededLine);
}

// timeout=MINUTES replaces the build's limit for one run: a tool that hangs
// ends the wait after one minute, as the 100 minutes would (1460, the tool
// left running).
TEST_F(ToolRun, ATimeoutOfOneMinuteEndsTheWaitAfterAMinute) {
  ASSERT_TRUE(World.InstallTool(CurrentTool, "sleep 600000\n"));
  const ULONGLONG start = GetTickCount64();
  const auto outcome = World.Run(L"timeout=1", 120000);
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_EQ(outcome.Result.ExitCode, 1460u);
  EXPECT_EQ(outcome.Result.Stderr, "Failed to monitor patch execution. Error code: 258.\r\n");
  EXPECT_GE(took, 60000u);
  EXPECT_LT(took, 90000u);
  EXPECT_TRUE(outcome.Log.HasPrefix("[INFO] rivlet.exe is waited for at most 60 seconds"));
  EXPECT_TRUE(outcome.Log.Has("[ERROR] Timeout reached."));
  EXPECT_TRUE(ToolStillRuns());
}

class ShortLimitsToolRun : public ToolRun {
 protected:
  ShortLimitsToolRun() : ToolRun(L"Mendora.Launcher.ShortLimits.exe") {}
};

TEST_F(ShortLimitsToolRun, TimeOutPrints258AndReturns1460AndLeavesTheToolRunning) {
  const auto outcome = RunTool("out working\\n\nsleep 6000\nexit 0\n");
  EXPECT_EQ(outcome.Result.ExitCode, 1460u);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "working\r\n");
  EXPECT_EQ(outcome.Result.Stderr, "Failed to monitor patch execution. Error code: 258.\r\n");
  EXPECT_TRUE(outcome.Log.Has("[ERROR] Timeout reached."));
  EXPECT_TRUE(outcome.Log.Has("[INFO] END joins."));
  EXPECT_TRUE(ToolStillRuns());
  // The finisher records the end the launcher did not wait for.
  const auto record =
      testing_support::WaitForRunRecordState(testing_support::Sha256Text("package contents"), L"ended", 30000);
  EXPECT_EQ(record.ExitCode, 0u);
  EXPECT_EQ(record.Detached, 1u);
}

TEST_F(ShortLimitsToolRun, AGrandchildHoldingThePipesDelaysTheEndOnlyByTheJoins) {
  const std::wstring grandchildScript = World.InstallFolder() + L"\\grandchild.script";
  ASSERT_TRUE(testing_support::WriteFileBytes(grandchildScript, "sleep 30000\n"));
  const auto outcome = RunTool("out tool done\\n\ngrandchild " + ToUtf8(grandchildScript) + "\nexit 0\n");
  EXPECT_EQ(outcome.Result.ExitCode, 0u);
  EXPECT_FALSE(outcome.Result.TimedOut);
  EXPECT_EQ(outcome.Result.Stdout, StartedLine + "tool done\r\n" + SucceededLine);
  EXPECT_TRUE(outcome.Log.Has("[INFO] END joins."));
  EXPECT_TRUE(ToolStillRuns()) << "the grandchild should outlive the launcher";
}

}  // namespace

// One patching tool at a time: what a launcher does while another run's tool
// still patches, and with a mutex of that name that someone else made.

#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>
#include <winternl.h>

#include <functional>
#include <string>

#include "base/ProcessAccount.h"
#include "base/UniqueHolder.h"
#include "tests/programs/ProcessList.h"
#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/support/EventTrace.h"
#include "tests/support/LauncherWorld.h"
#include "tests/support/RunRecordReader.h"
#include "tests/support/ScratchFiles.h"

namespace {

using testing_support::CurrentTool;
using testing_support::LauncherOutcome;
using testing_support::LauncherWorld;
using testing_support::StartedLine;
using testing_support::SucceededLine;

const std::wstring PackageSha256 = testing_support::Sha256Text("package contents");
const std::string Refused = "Another patch is being applied. Error code: 1618.\r\n";
const std::string MarkFound = "Another patch is being applied: Global\\Mendora.Launcher.PatchRun exists";
const std::string RefusedLogStart = "[ERROR] " + MarkFound;

std::size_t RunningTools() { return programs::FindProcesses(L"rivlet.exe").size(); }

// The mutex of that name as someone other than a launcher makes it: a
// descriptor given as text, at `name`.
mw::UniqueHandle CreateMutexWith(const std::wstring& descriptor, const wchar_t* name) {
  PSECURITY_DESCRIPTOR security = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(descriptor.c_str(), SDDL_REVISION_1, &security,
                                                            nullptr)) {
    return {};
  }
  const mw::LocalMemory heldSecurity(security);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security, FALSE};
  mw::UniqueHandle mutex(CreateMutexW(&attributes, FALSE, name));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return {};
  return mutex;
}

extern "C" NTSTATUS NTAPI NtCreateSymbolicLinkObject(PHANDLE link, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                                                     PUNICODE_STRING target);

// An object-manager link at the mark's name to `target`, a name in the same folder.
mw::UniqueHandle CreateLinkAtTheMarksName(const wchar_t* target) {
  UNICODE_STRING name;
  RtlInitUnicodeString(&name, L"\\BaseNamedObjects\\Mendora.Launcher.PatchRun");
  UNICODE_STRING to;
  RtlInitUnicodeString(&to, target);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, 0, nullptr, nullptr);
  HANDLE link = nullptr;
  constexpr ACCESS_MASK LinkAllAccess = 0xF0001;
  return mw::UniqueHandle(NtCreateSymbolicLinkObject(&link, LinkAllAccess, &attributes, &to) >= 0 ? link : nullptr);
}

std::wstring OwnAccount() {
  const ProcessAccount user;
  wchar_t* sid = nullptr;
  if (user.Sid() == nullptr || !ConvertSidToStringSidW(user.Sid(), &sid)) return {};
  const mw::LocalMemory heldSid(sid);
  return sid;
}

class PatchRun : public ::testing::Test {
 protected:
  PatchRun() : World(testing_support::ScratchTag{L"patchrun"}) { World.AddPackageFile(L"patch.rvx"); }

  LauncherWorld World;
};

TEST_F(PatchRun, NoSecondToolStartsWhileADetachedToolStillPatches) {
  // Long enough for a second launcher to run meanwhile.
  ASSERT_TRUE(World.InstallTool(CurrentTool, "out Patch validation finished\\n\nsleep 6000\nexit 0\n"));
  const auto detached = World.Run(L"/detach");
  ASSERT_EQ(detached.Result.ExitCode, 0u);
  ASSERT_TRUE(detached.Log.Has("[INFO] Detach was signaled."));
  ASSERT_TRUE(DeleteFileW((World.ToolPath() + stand_in::RecordSuffix).c_str()));
  const auto running = testing_support::ReadRunRecord(PackageSha256);
  ASSERT_EQ(running.State, L"running");

  const testing_support::EventTrace trace;
  const auto second = World.Run(L"wait=0");
  EXPECT_EQ(second.Result.ExitCode, 1618u);
  EXPECT_EQ(second.Result.Stdout, "");
  EXPECT_EQ(second.Result.Stderr, Refused);
  EXPECT_TRUE(second.Log.Has(std::string(RefusedLogStart) + ", made by " + programs::ToUtf8(OwnAccount()) +
                             " - rivlet.exe is not started."));
  EXPECT_FALSE(second.Tool.has_value()) << "a second tool was started";
  EXPECT_EQ(RunningTools(), 1u) << "the first tool should still run, alone";
  // A run that starts no tool leaves the running one's record as it was.
  const auto untouched = testing_support::ReadRunRecord(PackageSha256);
  EXPECT_EQ(untouched.State, L"running");
  EXPECT_EQ(untouched.Started, running.Started);
  EXPECT_EQ(untouched.Log, detached.Log.Path);
  const auto events = trace.WaitForEventsWith(second.Log.Path, 1, 0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Type, EVENTLOG_WARNING_TYPE);
  EXPECT_EQ(events[0].Id, 1010u);

  // Given time, a run waits until the mark ends with the first run's end,
  // then runs its own tool (a new script: the running tool has read its own).
  ASSERT_TRUE(testing_support::WriteFileBytes(World.ToolPath() + stand_in::ScriptSuffix, "exit 7\n"));
  const auto waited = World.Run(L"wait=30");
  EXPECT_EQ(waited.Result.ExitCode, 7u);
  EXPECT_EQ(waited.Result.Stdout,
            "Another patch is being applied: waiting for it to end, at most 30 seconds.\r\n" + StartedLine);
  EXPECT_TRUE(waited.Log.HasPrefix("[INFO] " + MarkFound + ", made by " + programs::ToUtf8(OwnAccount()) +
                                   " - waiting for it to end, at most 30 seconds."));
  EXPECT_TRUE(waited.Log.HasPrefix("[INFO] The other patch run ended after "));
  EXPECT_TRUE(waited.Tool.has_value());
}

// The mark lasts until the run's end is written, by the finisher here; a
// process the tool starts holds none of it.
TEST_F(PatchRun, TheMarkEndsWithTheRunsEndNotWithWhatTheToolStarted) {
  const std::wstring grandchildScript = World.InstallFolder() + L"\\grandchild.script";
  ASSERT_TRUE(testing_support::WriteFileBytes(grandchildScript, "sleep 30000\n"));
  ASSERT_TRUE(World.InstallTool(CurrentTool, "grandchild " + programs::ToUtf8(grandchildScript) +
                                                 "\nout Patch validation finished\\n\nsleep 500\nexit 0\n"));
  const auto detached = World.Run(L"/detach");
  ASSERT_EQ(detached.Result.ExitCode, 0u);
  // Ended once the tool has, and its pipes, which the grandchild holds, had their drain.
  ASSERT_EQ(testing_support::WaitForRunRecordState(PackageSha256, L"ended", 30000).State, L"ended");
  ASSERT_TRUE(LauncherWorld::WaitForFinishersToEnd(10000));
  ASSERT_EQ(RunningTools(), 1u) << "the grandchild should still run";

  // The grandchild runs from the tool's file: only the script is new.
  ASSERT_TRUE(testing_support::WriteFileBytes(World.ToolPath() + stand_in::ScriptSuffix, "exit 0\n"));
  const auto afterwards = World.Run(L"");
  EXPECT_EQ(afterwards.Result.ExitCode, 0u);
  EXPECT_FALSE(afterwards.Log.HasPrefix(RefusedLogStart));
}

// Only a mark of ours blocks patching: whatever else has the name (a user's
// mutex, one that a trusted account made but lets others use, a link to a
// mutex SYSTEM owns) gives one warning and the run goes on without the mark.
TEST_F(PatchRun, OnlyAMarkOfOursAtThatNameBlocksAndOnlyAfterTheToolIsFound) {
  struct Row {
    const char* What;
    std::function<mw::UniqueHandle()> Plant;
    bool ToolInstalled;
    DWORD ExitCode;
    std::string Stderr;
    std::string Logged;
  };
  const std::wstring self = OwnAccount();
  ASSERT_FALSE(self.empty());
  const std::wstring markName = L"Global\\Mendora.Launcher.PatchRun";
  mw::UniqueHandle systemMutex;
  const Row rows[] = {
      // A missing tool is reported as ever, whoever patches meanwhile.
      {"a mark of ours, no tool", [&] { return CreateMutexWith(L"O:" + self + L"D:P(A;;GA;;;SY)", markName.c_str()); },
       false, 2, "Patching tool not found.\r\n", "[ERROR] " + programs::ToUtf8(World.ToolPath()) + " not found!"},
      {"a mark of ours", [&] { return CreateMutexWith(L"O:SYD:P(A;;GA;;;SY)(A;;GA;;;BA)", markName.c_str()); }, true,
       1618, Refused, std::string(RefusedLogStart) + ", made by S-1-5-18 - rivlet.exe is not started."},
      // An ordinary user who made it first does not block patching.
      {"a user's mutex", [&] { return CreateMutexWith(L"O:BUD:(A;;GA;;;WD)", markName.c_str()); }, true, 0, "",
       "[WARNING] Global\\Mendora.Launcher.PatchRun is not a mark of ours: S-1-5-32-545 owns it or may use it - "
       "running without it."},
      {"a trusted account's mutex that everyone may use",
       [&] { return CreateMutexWith(L"O:SYD:(A;;GA;;;WD)", markName.c_str()); }, true, 0, "",
       "[WARNING] Global\\Mendora.Launcher.PatchRun is not a mark of ours: S-1-1-0 owns it or may use it - running "
       "without it."},
      {"a link to a mutex SYSTEM owns",
       [&] {
         systemMutex = CreateMutexWith(L"O:SYD:P(A;;GA;;;SY)", L"Global\\Mendora.Launcher.SystemsOwn");
         return CreateLinkAtTheMarksName(L"\\BaseNamedObjects\\Mendora.Launcher.SystemsOwn");
       },
       true, 0, "",
       "[WARNING] Global\\Mendora.Launcher.PatchRun is a link or another kind of object, not a mark of ours - "
       "running without it."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.What);
    const mw::UniqueHandle held = row.Plant();
    ASSERT_TRUE(held);
    if (row.ToolInstalled) ASSERT_TRUE(World.InstallTool(CurrentTool, "exit 0\n"));
    const auto outcome = World.Run(L"wait=0");
    EXPECT_EQ(outcome.Result.ExitCode, row.ExitCode);
    EXPECT_EQ(outcome.Result.Stderr, row.Stderr);
    EXPECT_TRUE(outcome.Log.Has(row.Logged));
    EXPECT_EQ(outcome.Tool.has_value(), row.ExitCode == 0);
    ASSERT_TRUE(DeleteFileW((World.ToolPath() + stand_in::RecordSuffix).c_str()) || row.ExitCode != 0);
  }
}

}  // namespace

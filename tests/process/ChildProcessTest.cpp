#include "process/ChildProcess.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "tests/programs/ProgramStart.h"
#include "tests/programs/Utf8Text.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"

namespace {

using testing_support::BinaryFolder;

// The stand-in tool, installed in a scratch folder of its own with a script.
class ScriptedChild {
 public:
  explicit ScriptedChild(const std::string& script) {
    EXPECT_TRUE(testing_support::InstallStandInTool(Tool, std::nullopt, script));
  }
  const std::wstring& Path() const { return Tool; }
  // Its arguments change nothing: the script says what it does.
  std::wstring CommandLine(const std::wstring& arguments = L"") const {
    return programs::QuotedCommandLine(Tool, arguments);
  }

 private:
  testing_support::ScratchFolder Folder{L"child"};
  const std::wstring Tool = Folder / L"child.exe";
};

struct PipeText {
  std::string Bytes;
  DWORD EndError = 0;
};

// Reads until the pipe ends; a read still blocked after 30 s (a cold Wine
// start can take seconds) is cancelled, which shows as end error 995.
PipeText ReadToEnd(HANDLE pipe) {
  PipeText text;
  std::atomic<bool> done = false;
  std::thread reader([&] {
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count != 0) text.Bytes.append(buffer, count);
    text.EndError = GetLastError();
    done = true;
  });
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (!done && GetTickCount64() < deadline) Sleep(10);
  while (!done) {
    CancelIoEx(pipe, nullptr);
    Sleep(10);
  }
  reader.join();
  return text;
}

DWORD ExitCodeWithin10s(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
  return code;
}

mw::UniqueHandle Duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return mw::UniqueHandle(copy);
}

TEST(ChildProcess, StartKeepsOnlyTheReadEndsAndTheOutputEndsWithTheChild) {
  const ScriptedChild tool("out to-stdout\nerr to-stderr\nexit 7\n");
  ChildProcess<void*> child;
  ASSERT_EQ(child.Start(tool.CommandLine().c_str(), BinaryFolder().c_str()), 0u);
  EXPECT_FALSE(child.StdinChild);
  EXPECT_FALSE(child.StdinParent);
  EXPECT_FALSE(child.StdoutWrite);
  EXPECT_FALSE(child.StderrWrite);
  ASSERT_TRUE(child.StdoutRead);
  ASSERT_TRUE(child.StderrRead);
  ASSERT_TRUE(child.Process);

  const PipeText out = ReadToEnd(child.StdoutRead.Get());
  const PipeText err = ReadToEnd(child.StderrRead.Get());
  EXPECT_EQ(out.Bytes, "to-stdout");
  EXPECT_EQ(out.EndError, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_EQ(err.Bytes, "to-stderr");
  EXPECT_EQ(err.EndError, static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_EQ(ExitCodeWithin10s(child.Process.Get()), 7u);
}

TEST(ChildProcess, SecondStartIsRefusedAndChangesNothing) {
  const ScriptedChild first("sleep 300\nout first\n");
  const ScriptedChild second("out second\n");
  ChildProcess<void*> child;
  ASSERT_EQ(child.Start(first.CommandLine().c_str(), nullptr), 0u);
  const HANDLE process = child.Process.Get();
  const HANDLE out = child.StdoutRead.Get();
  const HANDLE err = child.StderrRead.Get();

  EXPECT_EQ(child.Start(second.CommandLine().c_str(), nullptr), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_EQ(child.Process.Get(), process);
  EXPECT_EQ(child.StdoutRead.Get(), out);
  EXPECT_EQ(child.StderrRead.Get(), err);
  EXPECT_FALSE(child.StdoutWrite);
  EXPECT_FALSE(child.StderrWrite);
  EXPECT_EQ(ReadToEnd(out).Bytes, "first");
}

TEST(ChildProcess, FailedStartLeavesNoHandleAndALaterStartSucceeds) {
  const ScriptedChild tool("exit 3\n");
  const std::wstring missingProgram = programs::QuotedCommandLine(BinaryFolder() + L"NoSuchProgram.exe", L"");
  const struct {
    const wchar_t* Case;
    std::wstring CommandLine;
    const wchar_t* WorkingDirectory;
    DWORD Error;
  } failures[] = {
      {L"missing working folder", tool.CommandLine(), L"C:\\no\\such\\folder", ERROR_DIRECTORY},
      {L"missing program", missingProgram, nullptr, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(programs::ToUtf8(failure.Case));
    ChildProcess<void*> child;
    EXPECT_EQ(child.Start(failure.CommandLine.c_str(), failure.WorkingDirectory), failure.Error);
    for (const mw::UniqueHandle* field : {&child.StdinChild, &child.StdinParent, &child.StdoutRead,
                                          &child.StdoutWrite, &child.StderrRead, &child.StderrWrite, &child.Process}) {
      EXPECT_FALSE(*field);
    }
    ASSERT_EQ(child.Start(tool.CommandLine().c_str(), nullptr), 0u);
    EXPECT_EQ(ExitCodeWithin10s(child.Process.Get()), 3u);
  }
}

TEST(ChildProcess, NullCommandLineStartsNothing) {
  ChildProcess<void*> child;
  EXPECT_NE(child.Start(nullptr, nullptr), 0u);
  EXPECT_FALSE(child.Process);
  EXPECT_FALSE(child.StdoutRead);
}

TEST(ChildProcess, LongCommandLineArrivesWhole) {
  const ScriptedChild tool("");
  const std::wstring commandLine = tool.CommandLine(std::wstring(300, L'x'));
  ChildProcess<void*> child;
  ASSERT_EQ(child.Start(commandLine.c_str(), nullptr), 0u);
  ASSERT_EQ(ExitCodeWithin10s(child.Process.Get()), 0u);
  // The tool writes down the command line it was given before anything else.
  const auto record = testing_support::ReadStandInRecord(tool.Path());
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->CommandLine, commandLine);
}

TEST(ChildProcess, InheritableHandlesOffTheListStayWithTheParent) {
  programs::InheritablePipe pipe;
  ASSERT_EQ(programs::CreateInheritablePipe(pipe), 0u);
  char value[24];
  std::snprintf(value, sizeof value, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(pipe.Write.Get())));
  const ScriptedChild tool("write-to " + std::string(value) + " leaked\n");

  // Control: a child started with plain inheritance gets the handle and writes through it.
  testing_support::ProgramRequest control;
  control.Program = tool.Path();
  EXPECT_EQ(testing_support::RunProgram(control).Stdout, "written");

  ChildProcess<void*> child;
  ASSERT_EQ(child.Start(tool.CommandLine().c_str(), nullptr), 0u);
  const std::string report = ReadToEnd(child.StdoutRead.Get()).Bytes;
  ASSERT_NE(ExitCodeWithin10s(child.Process.Get()), static_cast<DWORD>(STILL_ACTIVE));
  pipe.Write.Close();
  EXPECT_EQ(ReadToEnd(pipe.Read.Get()).Bytes, "leaked") << "the child reported: " << report;
}

TEST(ChildProcess, DestroyingTheObjectLeavesTheChildRunning) {
  const ScriptedChild tool("sleep 1000\nexit 5\n");
  mw::UniqueHandle process;
  {
    ChildProcess<void*> child;
    ASSERT_EQ(child.Start(tool.CommandLine().c_str(), nullptr), 0u);
    process = Duplicate(child.Process.Get());
  }
  EXPECT_EQ(WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ExitCodeWithin10s(process.Get()), 5u);
}

struct RecordingListener : ExitListener<int> {
  void OnExit(int context, DWORD exitCode) override {
    Context = context;
    ExitCode = exitCode;
    ++Calls;
    SetEvent(Heard.Get());
  }
  std::atomic<int> Calls = 0;
  int Context = 0;
  DWORD ExitCode = 0;
  mw::UniqueHandle Heard{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

TEST(ChildProcess, ListenerHearsOnceWithTheFullExitCode) {
  const ScriptedChild tool("exit 0xE0000001\n");
  RecordingListener listener;
  {
    ChildProcess<int> child;
    child.Listener = &listener;
    child.Context = 17;
    ASSERT_EQ(child.Start(tool.CommandLine().c_str(), nullptr), 0u);
    ASSERT_EQ(WaitForSingleObject(listener.Heard.Get(), 10000), WAIT_OBJECT_0);
  }
  EXPECT_EQ(listener.Calls, 1);
  EXPECT_EQ(listener.Context, 17);
  EXPECT_EQ(listener.ExitCode, 0xE0000001u);
}

TEST(ChildProcess, ListenerHearsNothingWhenTheObjectGoesFirst) {
  const ScriptedChild tool("sleep 500\nexit 3\n");
  RecordingListener listener;
  mw::UniqueHandle process;
  {
    ChildProcess<int> child;
    child.Listener = &listener;
    ASSERT_EQ(child.Start(tool.CommandLine().c_str(), nullptr), 0u);
    process = Duplicate(child.Process.Get());
  }
  EXPECT_EQ(ExitCodeWithin10s(process.Get()), 3u);
  EXPECT_EQ(WaitForSingleObject(listener.Heard.Get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(listener.Calls, 0);
}

}  // namespace

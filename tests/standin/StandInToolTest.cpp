#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>

#include "tests/programs/Utf8Text.h"
#include "tests/standin/StandInProtocol.h"
#include "tests/standin/ToolFiles.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScratchFiles.h"
#include "tests/support/StandInInstall.h"

namespace {

using namespace std::string_literals;
using testing_support::FileVersion;
using programs::ToUtf8;
using testing_support::ProgramRequest;
using testing_support::ProgramResult;
using testing_support::RunProgram;

class StandInTool : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(Folder.Path().empty()); }

  // Installs the tool with `script` and runs it with nothing else changed.
  ProgramResult Run(const std::string& script) {
    EXPECT_TRUE(testing_support::InstallStandInTool(Tool, FileVersion{5, 1, 0, 2}, script));
    return RunProgram(Request());
  }

  ProgramRequest Request() const {
    ProgramRequest request;
    request.Program = Tool;
    return request;
  }

  testing_support::ScratchFolder Folder{L"tool"};
  const std::wstring Tool = Folder / L"Prod\u00fcct Files\\installer\\rivlet.exe";
};

using VariableMap = decltype(testing_support::StandInRecord::Environment);

// The test's own environment with the request's changes: what the tool must see.
VariableMap ExpectedEnvironment(const ProgramRequest& request) {
  VariableMap expected;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring text = entry;
    const std::size_t equals = text.find(L'=', 1);
    if (equals != std::wstring::npos) expected.emplace(text.substr(0, equals), text.substr(equals + 1));
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : request.Environment) {
    expected.erase(name);
    if (value) expected.emplace(name, *value);
  }
  return expected;
}

TEST_F(StandInTool, RecordsCommandLineWorkingFolderAndEnvironmentExactly) {
  ASSERT_TRUE(testing_support::InstallStandInTool(Tool, FileVersion{5, 1, 0, 2}, ""));
  const std::wstring workingFolder = Folder / L"work \u00f1 \u65e5\u672c";
  ASSERT_TRUE(CreateDirectoryW(workingFolder.c_str(), nullptr));
  auto request = Request();
  request.Arguments = L"/patch \"C:\\a b\\patch \u00fc.rvx\"  -x=\"\" trailing ";
  request.WorkingFolder = workingFolder;
  request.Environment[L"Mendora_Test Value"] = L" spaced = value \u00fc \u65e5\u672c\r\t ";
  request.Environment[L"MENDORA_EMPTY"] = L"";

  const auto result = RunProgram(request);
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 0u);
  const auto record = testing_support::ReadStandInRecord(Tool);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->CommandLine, L"\"" + Tool + L"\" " + request.Arguments);
  EXPECT_EQ(record->CurrentDirectory, workingFolder);
  EXPECT_EQ(record->Environment, ExpectedEnvironment(request));
  ASSERT_EQ(record->Environment.count(L"MENDORA_TEST VALUE"), 1u) << "names compare without case";
  EXPECT_EQ(record->Environment.at(L"MENDORA_TEST VALUE"), L" spaced = value \u00fc \u65e5\u672c\r\t ");
}

TEST_F(StandInTool, WritesEscapedBytesExactlyAndAddsNothing) {
  const auto result = Run(
      "# comment\n"
      "out A\\0B\\xff\\xFE\\x80\\r\\nback\\\\slash\r\n"
      "\n"
      "err \xc3\xa9\\r\n"
      "out  blanks kept \n"
      "out Patch valid\n"
      "out ation finished");
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 0u);
  EXPECT_EQ(result.Stdout, "A\0B\xff\xfe\x80\r\nback\\slash blanks kept Patch validation finished"s);
  EXPECT_EQ(result.Stderr, "\xc3\xa9\r");
}

TEST_F(StandInTool, ExitsWithTheFullCodeAsked) {
  const struct {
    const char* Argument;
    DWORD Code;
  } cases[] = {{"0xC0000005", 0xC0000005u}, {"0xffffffff", 0xFFFFFFFFu}, {"4294967295", 0xFFFFFFFFu},
               {"259", 259u}, {"0", 0u}};
  for (const auto& exit : cases) {
    const auto result = Run(std::string("out x\nexit ") + exit.Argument + "\nout never\n");
    ASSERT_TRUE(result.Started) << result.StartError;
    EXPECT_EQ(result.ExitCode, exit.Code) << exit.Argument;
    EXPECT_EQ(result.Stdout, "x") << exit.Argument;
    EXPECT_EQ(result.Stderr, "") << exit.Argument;
  }
}

TEST_F(StandInTool, WithoutAScriptRecordsAndExitsAtOnce) {
  ASSERT_TRUE(testing_support::InstallStandInTool(Tool, std::nullopt, "exit 9\n"));
  ASSERT_TRUE(DeleteFileW((Tool + stand_in::ScriptSuffix).c_str()));
  const auto result = RunProgram(Request());
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 0u);
  EXPECT_EQ(result.Stdout + result.Stderr, "");
  EXPECT_TRUE(testing_support::ReadStandInRecord(Tool).has_value());
}

TEST_F(StandInTool, RefusesABadScriptBeforeRunningAnyOfIt) {
  for (const char* script :
       {"out ok\nbogus 1\n", "out ok\nout \\q\n", "out ok\nout \\x4\n", "out ok\nout\n", "out ok\nsleep -1\n",
        "out ok\nsleep 4294967295\n", "out ok\nexit 0x100000000\n", "out ok\nexit 12abc\n",
        "out ok\ntimestamp t.txt\nsleep 1\n", "out ok\ntimestamp t.txt\n", "out ok\nflood many\n",
        "out ok\nflood-out\n", "out ok\nwrite-to 4c\n"}) {
    const auto result = Run(script);
    ASSERT_TRUE(result.Started) << result.StartError;
    EXPECT_EQ(result.ExitCode, stand_in::ToolErrorExitCode) << script;
    EXPECT_EQ(result.Stdout, "") << script;
    EXPECT_NE(result.Stderr.find("script"), std::string::npos) << script;
  }
  EXPECT_NE(Run("out ok\n\nbogus\n").Stderr.find("script line 3: unknown command"), std::string::npos);
}

// Every line numbered in turn, nothing lost or repeated between chunks.
void ExpectNumberedLines(const std::string& bytes, const std::string& prefix) {
  ASSERT_EQ(bytes.compare(0, prefix.size() + 2, prefix + "1\n"), 0);
  const std::size_t lastEnd = bytes.rfind('\n');
  const std::size_t lastStart = bytes.rfind('\n', lastEnd - 1) + 1;
  EXPECT_EQ(bytes.substr(lastStart, lastEnd - lastStart),
            prefix + std::to_string(std::count(bytes.begin(), bytes.end(), '\n')));
}

TEST_F(StandInTool, FloodsBothStreamsWithExactByteCounts) {
  constexpr std::size_t Bytes = 3 * 1024 * 1024 + 7;  // ends inside a line
  const auto result = Run("flood " + std::to_string(Bytes) + "\nout !\n");
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 0u);
  ASSERT_EQ(result.Stdout.size(), Bytes + 1);
  ASSERT_EQ(result.Stderr.size(), Bytes);
  EXPECT_EQ(result.Stdout.back(), '!');
  ExpectNumberedLines(result.Stdout.substr(0, Bytes), "stdout ");
  ExpectNumberedLines(result.Stderr, "stderr ");
}

TEST_F(StandInTool, FloodsStdoutAloneWhenAsked) {
  constexpr std::size_t Bytes = 1024 * 1024 + 3;
  const auto result = Run("flood-out " + std::to_string(Bytes) + "\nout !\n");
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_EQ(result.ExitCode, 0u);
  ASSERT_EQ(result.Stdout.size(), Bytes + 1);
  EXPECT_EQ(result.Stderr, "");
  ExpectNumberedLines(result.Stdout.substr(0, Bytes), "stdout ");
}

TEST_F(StandInTool, GrandchildKeepsThePipesOpenAfterTheToolExits) {
  const std::wstring grandchildScript = Folder / L"grand child.script";
  ASSERT_TRUE(stand_in::WriteWholeFile(grandchildScript, "sleep 2500\nout grandchild\\n\nerr late\n"));
  ASSERT_TRUE(testing_support::InstallStandInTool(
      Tool, FileVersion{5, 1, 0, 2}, "out parent\\n\ngrandchild " + ToUtf8(grandchildScript) + "\nexit 7\n"));
  auto request = Request();
  request.TimeoutMs = 1500;  // shorter than the grandchild's sleep: the tool must not wait for it

  const auto result = RunProgram(request);
  ASSERT_TRUE(result.Started) << result.StartError;
  EXPECT_FALSE(result.TimedOut);
  EXPECT_EQ(result.ExitCode, 7u);
  EXPECT_EQ(result.Stdout, "parent\ngrandchild\n");
  EXPECT_EQ(result.Stderr, "late");
  const auto record = testing_support::ReadStandInRecord(Tool);
  ASSERT_TRUE(record.has_value());
  EXPECT_EQ(record->CommandLine, L"\"" + Tool + L"\"") << "the grandchild must not overwrite the tool's record";
  std::string grandchildRecord;
  EXPECT_TRUE(stand_in::ReadWholeFile(grandchildScript + stand_in::RecordSuffix, grandchildRecord));
}

TEST_F(StandInTool, TimestampIsTakenJustBeforeItsWriteOrExit) {
  const std::wstring stampFile = Folder / L"written at";
  for (const char* stamped : {"out x\n", "exit 5\n"}) {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER before{};
    LARGE_INTEGER after{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    const auto result = Run("sleep 300\ntimestamp " + ToUtf8(stampFile) + "\n" + stamped + "out never\n");
    QueryPerformanceCounter(&after);
    ASSERT_TRUE(result.Started) << result.StartError;
    const bool exits = stamped[0] == 'e';
    EXPECT_EQ(result.ExitCode, exits ? 5u : 0u) << stamped;
    EXPECT_EQ(result.Stdout, exits ? "" : "xnever") << stamped;

    std::string text;
    ASSERT_TRUE(stand_in::ReadWholeFile(stampFile, text)) << stamped;
    ASSERT_FALSE(text.empty()) << stamped;
    ASSERT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) << text;
    const long long stamp = std::stoll(text);
    EXPECT_GE(stamp, before.QuadPart + frequency.QuadPart * 3 / 10) << "taken after the sleep: " << stamped;
    EXPECT_LE(stamp, after.QuadPart) << stamped;
    ASSERT_TRUE(DeleteFileW(stampFile.c_str()));
  }
}

}  // namespace

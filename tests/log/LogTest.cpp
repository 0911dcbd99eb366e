#include "log/Log.h"

#include <gtest/gtest.h>
#include <share.h>

#include <ctime>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/programs/Utf8Text.h"
#include "tests/support/RunLog.h"

namespace {

using programs::ToUtf8;
using testing_support::ReadLogFile;

const std::regex LinePattern(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)$)");

// Each case opens the log of this test process and closes it again.
class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenLog();
    ASSERT_NE(LogFile, nullptr) << ToUtf8(LogPath.GetText());
  }
  void TearDown() override { CloseLog(); }

  testing_support::RunLog Reopen() {
    CloseLog();
    return ReadLogFile(LogPath.GetText());
  }
};

TEST(LogTimestamp, HasTheShapeDateTimeMillisecondsAndABlank) {
  SYSTEMTIME time{};
  time.wYear = 2024;
  time.wMonth = 2;
  time.wDay = 22;
  time.wHour = 15;
  time.wMinute = 39;
  time.wSecond = 51;
  time.wMilliseconds = 42;
  EXPECT_STREQ(FormatLogTimestamp(time).Text, L"2024-02-22 15:39:51.042 ");
  time.wMilliseconds = 999;
  EXPECT_STREQ(FormatLogTimestamp(time).Text, L"2024-02-22 15:39:51.999 ");
}

TEST(LogTimestamp, NeverGoesBackInTime) {
  // Crosses a few second boundaries, where a stamp taken from two clock reads would jump back.
  std::wstring previous = LogTimestamp().Text;
  const std::time_t end = std::time(nullptr) + 2;
  while (std::time(nullptr) <= end) {
    std::wstring current = LogTimestamp().Text;
    ASSERT_GE(current, previous);
    previous = std::move(current);
  }
}

TEST_F(LogFileTest, FileIsNamedForStartSecondsAndProcessIdUnderRivlet) {
  const std::wstring path = LogPath.GetText();
  const std::wstring folder = testing_support::LogFolder() + L"\\";
  ASSERT_EQ(path.rfind(folder, 0), 0u) << ToUtf8(path);
  const std::wstring name = path.substr(folder.size());
  std::wsmatch match;
  ASSERT_TRUE(std::regex_match(name, match, std::wregex(LR"(Mendora\.Launcher-(\d+)-(\d+)\.txt)"))) << ToUtf8(name);
  const long long seconds = std::stoll(match[1].str());
  EXPECT_NEAR(static_cast<double>(seconds), static_cast<double>(std::time(nullptr)), 5.0);
  EXPECT_EQ(std::stoul(match[2].str()), GetCurrentProcessId());
}

TEST_F(LogFileTest, LinesAreUtf8WithCrLfAndATimestampEach) {
  WriteLog(L"[INFO] use isWOW64: %s.", L"true");
  WriteLog(L"[ERROR] %s returned %d", L"C:\\Program Files\\Valcrest\\installer\\rivlet.exe", -1073741819);
  WriteLog(L"[INFO] installation path found: %s", L"C:\\Produkt \u00e9\u4e2d");
  const auto log = Reopen();

  ASSERT_EQ(log.Bytes.rfind("\xEF\xBB\xBF", 0), 0u);
  ASSERT_EQ(log.Lines.size(), 3u);
  for (const auto& line : log.Lines) EXPECT_TRUE(std::regex_match(line, LinePattern)) << line;
  EXPECT_EQ(log.Messages[0], "[INFO] use isWOW64: true.");
  EXPECT_EQ(log.Messages[1], "[ERROR] C:\\Program Files\\Valcrest\\installer\\rivlet.exe returned -1073741819");
  EXPECT_EQ(log.Messages[2], "[INFO] installation path found: C:\\Produkt \xC3\xA9\xE4\xB8\xAD");
  EXPECT_EQ(log.Bytes.substr(log.Bytes.size() - 2), "\r\n");
  EXPECT_EQ(log.Bytes.find("\n\n"), std::string::npos);
}

TEST_F(LogFileTest, PercentInAnArgumentIsWrittenAsItStands) {
  WriteLog(L"[INFO] command line is: %s", L"/x=%d%s%n 100%");
  const auto log = Reopen();
  ASSERT_EQ(log.Messages.size(), 1u);
  EXPECT_EQ(log.Messages[0], "[INFO] command line is: /x=%d%s%n 100%");
}

TEST_F(LogFileTest, LineBreaksInAMessageCannotStartANewLine) {
  WriteLog(L"[INFO] command line is: %s", L"/a\r\n2026-01-01 00:00:00.000 [INFO] Detach was signaled.\n");
  const auto log = Reopen();
  ASSERT_EQ(log.Lines.size(), 1u);
  EXPECT_EQ(log.Messages[0], "[INFO] command line is: /a\\r\\n2026-01-01 00:00:00.000 [INFO] Detach was signaled.\\n");
}

TEST_F(LogFileTest, NullOrEmptyFormatWritesThePrefixAlone) {
  WriteLog(nullptr);
  WriteLog(L"");
  const auto log = Reopen();
  ASSERT_EQ(log.Lines.size(), 2u);
  for (const auto& line : log.Lines) {
    EXPECT_EQ(line.size(), 24u);
    EXPECT_EQ(line.back(), ' ');
  }
}

TEST_F(LogFileTest, ByteOrderMarkOnlyWhenTheFileIsCreated) {
  WriteLog(L"[INFO] first");
  CloseLog();
  LogFile = _wfsopen(LogPath.GetText(), L"at, ccs=UTF-8", _SH_DENYWR);
  ASSERT_NE(LogFile, nullptr);
  WriteLog(L"[INFO] second");
  const auto log = Reopen();
  EXPECT_EQ(log.Bytes.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_EQ(log.Bytes.find("\xEF\xBB\xBF", 3), std::string::npos);
  EXPECT_EQ(log.Messages, (std::vector<std::string>{"[INFO] first", "[INFO] second"}));
}

TEST_F(LogFileTest, NoSecondWriterWhileTheRunHoldsTheFile) {
  std::FILE* second = _wfsopen(LogPath.GetText(), L"at, ccs=UTF-8", _SH_DENYWR);
  EXPECT_EQ(second, nullptr);
  if (second != nullptr) std::fclose(second);

  std::FILE* reader = _wfsopen(LogPath.GetText(), L"rb", _SH_DENYNO);
  EXPECT_NE(reader, nullptr) << "readers stay welcome";
  if (reader != nullptr) std::fclose(reader);
}

TEST_F(LogFileTest, LinesFromManyThreadsNeverInterleave) {
  constexpr int Threads = 8;
  constexpr int LinesEach = 400;
  std::vector<std::thread> writers;
  for (int t = 0; t < Threads; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < LinesEach; ++i) WriteLog(L"[INFO] thread %d line %d %s", t, i, L"padding-padding-padding");
    });
  }
  for (auto& writer : writers) writer.join();
  const auto log = Reopen();

  ASSERT_EQ(log.Lines.size(), static_cast<std::size_t>(Threads * LinesEach));
  std::set<std::string> seen;
  for (const auto& line : log.Lines) {
    ASSERT_TRUE(std::regex_match(line, LinePattern)) << line;
    seen.insert(line.substr(24));
  }
  for (int t = 0; t < Threads; ++t) {
    for (int i = 0; i < LinesEach; ++i) {
      EXPECT_EQ(seen.count("[INFO] thread " + std::to_string(t) + " line " + std::to_string(i) +
                           " padding-padding-padding"),
                1u);
    }
  }
}

TEST_F(LogFileTest, WritingWithoutAnOpenLogDoesNothing) {
  WriteLog(L"[INFO] kept");
  const auto log = Reopen();
  WriteLog(L"[INFO] after close");
  EXPECT_EQ(ReadLogFile(LogPath.GetText()).Bytes, log.Bytes);
}

}  // namespace

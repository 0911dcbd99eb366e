// The tool's output as log lines, through a log file this process takes over
// by its handle, as the run's finisher does.

#include "process/ToolOutputLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/Log.h"
#include "tests/support/RunLog.h"
#include "tests/support/ScratchFiles.h"

namespace {

struct LinesRow {
  std::vector<std::string> Chunks;  // as the reads bring them
  std::vector<std::string> Messages;
};

TEST(ToolOutputLines, SplitOnLfAcrossReadsWithBoundedLinesAndTheCutLastLineKept) {
  const std::string Mark = "[INFO] rivlet.exe: ";
  const std::string longLine(ToolOutputLines::MaxLineLength + 5, 'x');
  const LinesRow rows[] = {
      {{"one\r\ntwo\n\n"}, {Mark + "one", Mark + "two", Mark}},
      {{"spl", "it\nlast"}, {Mark + "split", Mark + "last"}},
      {{"caf\xC3", "\xA9\n"}, {Mark + "caf\xC3\xA9"}},
      {{longLine + "\n"}, {Mark + longLine.substr(5), Mark + "xxxxx"}},
  };
  const testing_support::ScratchFolder scratch(L"toollines");
  int index = 0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Chunks.front().substr(0, 10));
    const std::wstring path = scratch / (L"log" + std::to_wstring(index++) + L".txt");
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_TRUE(AttachLog(file));
    ToolOutputLines lines;
    for (const auto& chunk : row.Chunks) lines.Add(chunk.data(), chunk.size());
    lines.Finish();
    CloseLog();
    EXPECT_EQ(testing_support::ReadLogFile(path).Messages, row.Messages);
  }
}

}  // namespace

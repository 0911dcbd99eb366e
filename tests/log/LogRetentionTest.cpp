#include "log/LogRetention.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "base/UniqueHolder.h"
#include "tests/support/PlantedLinks.h"
#include "tests/support/ScratchFiles.h"

namespace {

std::wstring LogNameAt(std::int64_t seconds, unsigned processId) {
  return L"Mendora.Launcher-" + std::to_wstring(seconds) + L"-" + std::to_wstring(processId) + L".txt";
}

TEST(LogRetention, OnlyNamesOfTheLogsShapeCount) {
  LogName parsed{};
  EXPECT_TRUE(ParseLogName(L"Mendora.Launcher-1796783542-328.txt", parsed));
  EXPECT_EQ(parsed.Seconds, 1796783542);
  EXPECT_EQ(parsed.ProcessId, 328u);
  for (const wchar_t* other : {L"Mendora.Launcher-1796783542-328.txt.bak", L"Mendora.Launcher-1796783542.txt",
                               L"Mendora.Launcher--328.txt", L"Mendora.Launcher-17x-328.txt",
                               L"mendora.launcher-1-2.txt", L"Mendora.Launcher-1-2-3.txt",
                               L"Mendora.Launcher-1-99999999999.txt", L"notes.txt"}) {
    EXPECT_FALSE(ParseLogName(other, parsed)) << testing::PrintToString(std::wstring(other));
  }
}

// The newest KeptLogs stay, whatever order they come in; older than a year
// goes whatever the count; this run's own and other names never go.
TEST(LogRetention, RemovesTheOldestBeyondTheNewestFiftyAndAnythingOlderThanAYear) {
  const std::int64_t now = 1'800'000'000;
  std::vector<std::wstring> names;
  for (int index = 0; index < 60; ++index) names.push_back(LogNameAt(now - 1000 * (index + 1), 100 + index));
  std::reverse(names.begin(), names.end());
  names.push_back(LogNameAt(now - 1000, 99));  // the same second as the newest: the higher process id is newer
  const std::wstring own = LogNameAt(now, 7);
  names.push_back(own);
  names.push_back(L"notes.txt");
  std::vector<std::wstring> expected;
  for (int index = 49; index < 60; ++index) expected.push_back(LogNameAt(now - 1000 * (index + 1), 100 + index));
  std::vector<std::wstring> removed = LogsToRemove(names, own, now);
  std::sort(removed.begin(), removed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(removed, expected);

  const std::int64_t yearAndADay = (KeptLogDays + 1) * 24 * 60 * 60;
  EXPECT_EQ(LogsToRemove({LogNameAt(now - yearAndADay, 1), LogNameAt(now - 60, 2)}, own, now),
            (std::vector<std::wstring>{LogNameAt(now - yearAndADay, 1)}));
}

// In a log folder of its own: the trim goes through the folder's handle,
// never through a link named like a log, and leaves a log its writer still
// holds.
TEST(LogRetention, TrimsAFolderOfSixtyOldLogsToTheNewestFiftyAndTheNewOne) {
  const testing_support::ScratchFolder folder(L"logs");
  const testing_support::ScratchFolder outside(L"outside");
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  std::vector<std::wstring> planted;
  for (int index = 0; index < 60; ++index) {
    planted.push_back(LogNameAt(now - 3600 * (index + 1), 1000 + index));
    ASSERT_TRUE(testing_support::WriteFileBytes(folder / planted.back(), "an old log"));
  }
  const std::wstring own = LogNameAt(now, 4);
  ASSERT_TRUE(testing_support::WriteFileBytes(folder / own, "this run's log"));
  // A link named like the oldest log of all, to a file of the user's choice.
  const std::wstring target = outside / L"precious.txt";
  ASSERT_TRUE(testing_support::WriteFileBytes(target, "precious"));
  ASSERT_TRUE(testing_support::PlantLink(target, folder / LogNameAt(1, 1)));
  // An old log whose writer still holds it.
  const std::wstring held = folder / planted.back();
  const mw::UniqueFileHandle writer(
      CreateFileW(held.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);

  const mw::UniqueFileHandle handle(CreateFileW(folder.Path().c_str(), FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(handle);
  TrimLogFolder(handle.Get(), folder.Path().c_str(), own);

  const std::vector<std::wstring> entries = testing_support::FolderEntries(folder.Path());
  const std::set<std::wstring> left(entries.begin(), entries.end());
  std::set<std::wstring> expected(planted.begin(), planted.begin() + 50);
  expected.insert(own);
  expected.insert(planted.back());
  // The link is never removed, as it is never followed: it is not a log of this folder.
  expected.insert(LogNameAt(1, 1));
  EXPECT_EQ(left, expected);
  EXPECT_EQ(testing_support::ReadFileBytes(target), "precious");
  testing_support::RemoveLink(folder / LogNameAt(1, 1));
}

}  // namespace

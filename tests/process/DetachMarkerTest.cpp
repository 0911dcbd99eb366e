#include "process/DetachMarker.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

bool FeedAll(const std::vector<std::string>& reads) {
  DetachMarkerWindow window;
  bool found = false;
  for (const auto& read : reads) found = window.Feed(read.data(), read.size()) || found;
  return found;
}

TEST(DetachMarker, FoundInOneReadOrSplitAcrossReads) {
  EXPECT_TRUE(FeedAll({"progress\r\nPatch validation finished\r\n"}));
  EXPECT_TRUE(FeedAll({"Patch valid", "ation finished"}));
  EXPECT_TRUE(FeedAll({"P", "a", "t", "c", "h", " validation finishe", "d"}));
  EXPECT_TRUE(FeedAll({std::string(5000, 'x') + "Patch validation fin", "ished"}));
  EXPECT_TRUE(FeedAll({std::string("\0\0Patch validation finished", 27)}));
}

TEST(DetachMarker, OtherTextIsNotTheMarker) {
  EXPECT_FALSE(FeedAll({"patch validation finished", "PATCH VALIDATION FINISHED"}));
  EXPECT_FALSE(FeedAll({"Patch validation finishe"}));
  EXPECT_FALSE(FeedAll({"Patch validation", "\nfinished"}));
  EXPECT_FALSE(FeedAll({std::string("Patch validation\0finished", 25)}));
}

TEST(DetachMarker, ReportsOnlyTheReadWhereAMarkerEnds) {
  DetachMarkerWindow window;
  EXPECT_TRUE(window.Feed("Patch validation finished", 25));
  EXPECT_FALSE(window.Feed("later output", 12));
}

TEST(DetachMarker, AgreesWithSearchingTheWholeOutputWhereverItIsSplit) {
  std::mt19937 random(7);
  const std::string alphabet = "Patch validation finished Pa\n\0";
  for (int round = 0; round < 2000; ++round) {
    std::string output;
    const std::size_t length = random() % 120;
    for (std::size_t i = 0; i < length; ++i) output += alphabet[random() % alphabet.size()];
    if (random() % 4 == 0) output.insert(random() % (output.size() + 1), DetachMarker);
    std::vector<std::string> reads;
    for (std::size_t at = 0; at < output.size();) {
      const std::size_t size = 1 + random() % 30;
      reads.push_back(output.substr(at, size));
      at += size;
    }
    ASSERT_EQ(FeedAll(reads), output.find(DetachMarker) != std::string::npos) << output;
  }
}

}  // namespace

#include "runend/RunLimits.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

// The limits the shipped launcher runs with, each against the duration or
// size it is meant to be: tests run a build with short limits, so a wrong
// unit here would show nowhere else.
TEST(RunLimits, TheShippedLimitsAreTheDurationsAndTheSizeIntended) {
  EXPECT_EQ(milliseconds(ShippedRunLimits.ToolWaitMs), minutes(100));
  EXPECT_EQ(milliseconds(ShippedRunLimits.PumpJoinMs), seconds(5));
  EXPECT_EQ(milliseconds(ShippedRunLimits.FinisherGiveUpMs), hours(24));
  EXPECT_EQ(ShippedRunLimits.ToolLogBytes, 16u << 20);
}

}  // namespace

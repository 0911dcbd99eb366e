#include "runend/RunOutcome.h"

#include <gtest/gtest.h>

namespace {

using Kind = RunOutcome::Kind;

struct OutcomeRow {
  RunOutcome Outcome;
  int ExitCode;
  ConsoleStream Stream;
  const wchar_t* Line;
  RunEvent Event;
};

constexpr WORD Information = EVENTLOG_INFORMATION_TYPE;
constexpr WORD Warning = EVENTLOG_WARNING_TYPE;
constexpr WORD Error = EVENTLOG_ERROR_TYPE;

// One row per way a run can end; each outcome has an event ID of its own.
TEST(RunOutcome, EachOutcomeHasOneExitCodeAtMostOneConsoleLineAndOneEvent) {
  const OutcomeRow rows[] = {
      {{Kind::NoProduct}, 3, ConsoleStream::Error, L"Product installation path not found.", {Error, 1007}},
      {{Kind::ToolMissing}, 2, ConsoleStream::Error, L"Patching tool not found.", {Error, 1008}},
      {{Kind::PackageMissing}, 2, ConsoleStream::Error, L"Could not apply the patch. Error code: 2.", {Error, 1009}},
      {{Kind::AnotherPatchRun}, 1618, ConsoleStream::Error, L"Another patch is being applied. Error code: 1618.",
       {Warning, 1010}},
      {{Kind::NotStarted, ERROR_BAD_EXE_FORMAT}, 5, ConsoleStream::Error,
       L"Patch could not be executed. Error code: 193.", {Error, 1006}},
      {{Kind::NotStarted, 0xFFFFFFFF}, 5, ConsoleStream::Error, L"Patch could not be executed. Error code: -1.",
       {Error, 1006}},
      {{Kind::ToolEnded, 0}, 0, ConsoleStream::Output, L"Patch execution finished successfully.", {Information, 1000}},
      {{Kind::ToolEnded, 3}, 3, ConsoleStream::Error, L"Patch execution finished with error code: 3.", {Error, 1001}},
      {{Kind::ToolEnded, 3010}, 3010, ConsoleStream::Error, L"Patch execution finished with error code: 3010.",
       {Error, 1001}},
      {{Kind::ToolEnded, 0xC0000005}, static_cast<int>(0xC0000005), ConsoleStream::Error,
       L"Patch execution finished with error code: -1073741819.", {Error, 1001}},
      {{Kind::Detached}, 0, ConsoleStream::None, L"", {Information, 1002}},
      {{Kind::TimedOut}, 1460, ConsoleStream::Error, L"Failed to monitor patch execution. Error code: 258.",
       {Error, 1003}},
      {{Kind::WaitFailed, WAIT_FAILED}, static_cast<int>(WAIT_FAILED), ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 4294967295.", {Error, 1004}},
      {{Kind::WaitFailed, WAIT_ABANDONED_0}, static_cast<int>(WAIT_ABANDONED_0), ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 128.", {Error, 1004}},
      {{Kind::ExitCodeUnreadable, ERROR_ACCESS_DENIED}, 5, ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 5.", {Error, 1005}},
  };
  for (const auto& row : rows) {
    const OutcomeReport report = ReportFor(row.Outcome);
    SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(row.Outcome.What) << ", code " << row.Outcome.Code);
    EXPECT_EQ(report.ExitCode, row.ExitCode);
    EXPECT_EQ(report.Stream, row.Stream);
    EXPECT_EQ(report.Line, row.Line);
    EXPECT_EQ(report.Event, row.Event);
  }
}

// The finisher's events for the end it found after the launcher's own, and
// for giving up, which is no failure of the tool: a warning.
TEST(RunOutcome, TheFinishersEndsHaveEventsOfTheirOwn) {
  EXPECT_EQ(FinisherEndEvent({Kind::ToolEnded, 0}), (RunEvent{Information, 1100}));
  EXPECT_EQ(FinisherEndEvent({Kind::ToolEnded, 7}), (RunEvent{Error, 1101}));
  EXPECT_EQ(FinisherEndEvent({Kind::ExitCodeUnreadable, ERROR_ACCESS_DENIED}), (RunEvent{Error, 1102}));
  EXPECT_EQ(FinisherAbandonedEvent, (RunEvent{Warning, 1103}));
}

}  // namespace

#include "launcher/RunOutcome.h"

#include <gtest/gtest.h>

namespace {

using Kind = RunOutcome::Kind;

struct OutcomeRow {
  RunOutcome Outcome;
  int ExitCode;
  ConsoleStream Stream;
  const wchar_t* Line;
};

// One row per way a run can end.
TEST(RunOutcome, EachOutcomeHasOneExitCodeAndAtMostOneConsoleLine) {
  const OutcomeRow rows[] = {
      {{Kind::NoProduct}, 3, ConsoleStream::Error, L"Product installation path not found."},
      {{Kind::ToolMissing}, 2, ConsoleStream::Error, L"Patching tool not found."},
      {{Kind::PackageMissing}, 2, ConsoleStream::Error, L"Could not apply the patch. Error code: 2."},
      {{Kind::AnotherPatchRun}, 1618, ConsoleStream::Error, L"Another patch is being applied. Error code: 1618."},
      {{Kind::NotStarted, ERROR_BAD_EXE_FORMAT}, 5, ConsoleStream::Error,
       L"Patch could not be executed. Error code: 193."},
      {{Kind::NotStarted, 0xFFFFFFFF}, 5, ConsoleStream::Error, L"Patch could not be executed. Error code: -1."},
      {{Kind::ToolEnded, 0}, 0, ConsoleStream::Output, L"Patch execution finished successfully."},
      {{Kind::ToolEnded, 3}, 3, ConsoleStream::Error, L"Patch execution finished with error code: 3."},
      {{Kind::ToolEnded, 3010}, 3010, ConsoleStream::Error, L"Patch execution finished with error code: 3010."},
      {{Kind::ToolEnded, 0xC0000005}, static_cast<int>(0xC0000005), ConsoleStream::Error,
       L"Patch execution finished with error code: -1073741819."},
      {{Kind::Detached}, 0, ConsoleStream::None, L""},
      {{Kind::TimedOut}, 1460, ConsoleStream::Error, L"Failed to monitor patch execution. Error code: 258."},
      {{Kind::WaitFailed, WAIT_FAILED}, static_cast<int>(WAIT_FAILED), ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 4294967295."},
      {{Kind::WaitFailed, WAIT_ABANDONED_0}, static_cast<int>(WAIT_ABANDONED_0), ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 128."},
      {{Kind::ExitCodeUnreadable, ERROR_ACCESS_DENIED}, 5, ConsoleStream::Error,
       L"Failed to monitor patch execution. Error code: 5."},
  };
  for (const auto& row : rows) {
    const OutcomeReport report = ReportFor(row.Outcome);
    SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(row.Outcome.What) << ", code " << row.Outcome.Code);
    EXPECT_EQ(report.ExitCode, row.ExitCode);
    EXPECT_EQ(report.Stream, row.Stream);
    EXPECT_EQ(report.Line, row.Line);
  }
}

}  // namespace

#include "runend/RunOutcome.h"

#include <cstdint>

namespace {

std::wstring Signed(DWORD code) { return std::to_wstring(static_cast<std::int32_t>(code)) + L"."; }
std::wstring Unsigned(DWORD code) { return std::to_wstring(code) + L"."; }

constexpr wchar_t MonitorFailed[] = L"Failed to monitor patch execution. Error code: ";

constexpr RunEvent Success(DWORD id) { return {EVENTLOG_INFORMATION_TYPE, id}; }
constexpr RunEvent Failure(DWORD id) { return {EVENTLOG_ERROR_TYPE, id}; }

}  // namespace

OutcomeReport ReportFor(const RunOutcome& outcome) {
  using Kind = RunOutcome::Kind;
  const auto asExitCode = static_cast<int>(outcome.Code);
  switch (outcome.What) {
    case Kind::NoProduct:
      return {ExitCode::NoProduct, ConsoleStream::Error, L"Product installation path not found.", Failure(1007)};
    case Kind::ToolMissing:
      return {ExitCode::FileMissing, ConsoleStream::Error, L"Patching tool not found.", Failure(1008)};
    case Kind::PackageMissing:
      return {ExitCode::FileMissing, ConsoleStream::Error,
              L"Could not apply the patch. Error code: " + Signed(ERROR_FILE_NOT_FOUND), Failure(1009)};
    case Kind::AnotherPatchRun:
      return {ExitCode::AnotherPatchRun, ConsoleStream::Error,
              L"Another patch is being applied. Error code: " + Signed(ERROR_INSTALL_ALREADY_RUNNING),
              {EVENTLOG_WARNING_TYPE, 1010}};
    case Kind::NotStarted:
      return {ExitCode::NotStarted, ConsoleStream::Error,
              L"Patch could not be executed. Error code: " + Signed(outcome.Code), Failure(1006)};
    case Kind::ToolEnded:
      if (outcome.Code == 0) {
        return {ExitCode::Success, ConsoleStream::Output, L"Patch execution finished successfully.", Success(1000)};
      }
      return {asExitCode, ConsoleStream::Error, L"Patch execution finished with error code: " + Signed(outcome.Code),
              Failure(1001)};
    case Kind::Detached:
      return {ExitCode::Success, ConsoleStream::None, L"", Success(1002)};
    case Kind::TimedOut:
      // The wait's own result is shown, the time-out's error code returned.
      return {ExitCode::TimedOut, ConsoleStream::Error, MonitorFailed + Unsigned(WAIT_TIMEOUT), Failure(1003)};
    case Kind::WaitFailed:
      return {asExitCode, ConsoleStream::Error, MonitorFailed + Unsigned(outcome.Code), Failure(1004)};
    case Kind::ExitCodeUnreadable:
      // An unknown result is never reported as success.
      return {asExitCode, ConsoleStream::Error, MonitorFailed + Unsigned(outcome.Code), Failure(1005)};
  }
  return {asExitCode, ConsoleStream::Error, MonitorFailed + Unsigned(outcome.Code), Failure(1004)};
}

RunEvent FinisherEndEvent(const RunOutcome& toolEnd) {
  if (toolEnd.What != RunOutcome::Kind::ToolEnded) return Failure(1102);
  return toolEnd.Code == 0 ? Success(1100) : Failure(1101);
}

#include "launcher/RunOutcome.h"

#include <cstdint>

namespace {

std::wstring Signed(DWORD code) { return std::to_wstring(static_cast<std::int32_t>(code)) + L"."; }
std::wstring Unsigned(DWORD code) { return std::to_wstring(code) + L"."; }

constexpr wchar_t MonitorFailed[] = L"Failed to monitor patch execution. Error code: ";

}  // namespace

OutcomeReport ReportFor(const RunOutcome& outcome) {
  using Kind = RunOutcome::Kind;
  const auto asExitCode = static_cast<int>(outcome.Code);
  switch (outcome.What) {
    case Kind::NoProduct:
      return {ExitCode::NoProduct, ConsoleStream::Error, L"Product installation path not found."};
    case Kind::ToolMissing:
      return {ExitCode::FileMissing, ConsoleStream::Error, L"Patching tool not found."};
    case Kind::PackageMissing:
      return {ExitCode::FileMissing, ConsoleStream::Error,
              L"Could not apply the patch. Error code: " + Signed(ERROR_FILE_NOT_FOUND)};
    case Kind::AnotherPatchRun:
      return {ExitCode::AnotherPatchRun, ConsoleStream::Error,
              L"Another patch is being applied. Error code: " + Signed(ERROR_INSTALL_ALREADY_RUNNING)};
    case Kind::NotStarted:
      return {ExitCode::NotStarted, ConsoleStream::Error,
              L"Patch could not be executed. Error code: " + Signed(outcome.Code)};
    case Kind::ToolEnded:
      if (outcome.Code == 0) {
        return {ExitCode::Success, ConsoleStream::Output, L"Patch execution finished successfully."};
      }
      return {asExitCode, ConsoleStream::Error, L"Patch execution finished with error code: " + Signed(outcome.Code)};
    case Kind::Detached:
      return {ExitCode::Success, ConsoleStream::None, L""};
    case Kind::TimedOut:
      // The wait's own result is shown, the time-out's error code returned.
      return {ExitCode::TimedOut, ConsoleStream::Error, MonitorFailed + Unsigned(WAIT_TIMEOUT)};
    case Kind::WaitFailed:
    case Kind::ExitCodeUnreadable:
      // An unknown result is never reported as success.
      return {asExitCode, ConsoleStream::Error, MonitorFailed + Unsigned(outcome.Code)};
  }
  return {asExitCode, ConsoleStream::Error, MonitorFailed + Unsigned(outcome.Code)};
}

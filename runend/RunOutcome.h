#pragma once

#include <windows.h>

#include <string>

// The launcher's own exit codes; besides them it ends with the tool's exit
// code, a failed wait's result or the error of a failed exit-code read.
namespace ExitCode {
inline constexpr int Success = 0;       // the tool ended with 0, or detach
inline constexpr int FileMissing = 2;   // no patching tool, or no package
inline constexpr int NoProduct = 3;     // no installation folder
inline constexpr int NotStarted = 5;    // the tool could not be started
inline constexpr int TimedOut = ERROR_TIMEOUT;
// Another run's tool is still patching; deployment tools read it as "retry later".
inline constexpr int AnotherPatchRun = ERROR_INSTALL_ALREADY_RUNNING;
}  // namespace ExitCode

// How a run ended, and the number that comes with it.
struct RunOutcome {
  enum class Kind {
    NoProduct,
    ToolMissing,
    PackageMissing,
    AnotherPatchRun,
    NotStarted,          // Code: the start error
    ToolEnded,           // Code: the tool's exit code
    Detached,
    TimedOut,
    WaitFailed,          // Code: the wait's result
    ExitCodeUnreadable,  // Code: GetExitCodeProcess's error
  };
  Kind What;
  DWORD Code = 0;
};

enum class ConsoleStream { None, Output, Error };

// The Application event that tells of an outcome: its type and its ID, one
// ID per outcome (docs/DEPLOYING.md lists them).
struct RunEvent {
  WORD Type;  // EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE or EVENTLOG_ERROR_TYPE
  DWORD Id;
  bool operator==(const RunEvent&) const = default;
};

// What the launcher tells of an outcome: its exit code, at most one console
// line, on standard output or standard error, and its event.
struct OutcomeReport {
  int ExitCode;
  ConsoleStream Stream;
  std::wstring Line;  // without its end of line; empty for ConsoleStream::None
  RunEvent Event;
};

// The one mapping from outcomes to exit codes, console lines and events. A
// tool's exit code and a start error print signed, a wait's result and an
// error code unsigned; every one is returned with all its 32 bits.
OutcomeReport ReportFor(const RunOutcome& outcome);

// The finisher's event for a run whose launcher ended before its tool (the
// run's second event, or its only one when the launcher was stopped): the
// tool's end as the finisher found it (ToolEnded, ExitCodeUnreadable), or
// the finisher giving up.
RunEvent FinisherEndEvent(const RunOutcome& toolEnd);
inline constexpr RunEvent FinisherAbandonedEvent{EVENTLOG_WARNING_TYPE, 1103};

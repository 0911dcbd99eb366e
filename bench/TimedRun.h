#pragma once

#include <windows.h>

#include <string>

#include "tests/programs/ProgramStart.h"

namespace bench {

struct TimedRequest {
  std::wstring Program;    // full path
  std::wstring Arguments;  // after the quoted program
  programs::EnvironmentChanges Environment;  // to the bench's own
  HANDLE Stdout = nullptr;  // inheritable
  HANDLE Stderr = nullptr;  // inheritable
  // Polls the program's memory counters while it runs; the polling costs
  // time, so such runs are not timed.
  bool SampleMemory = false;
};

struct TimedResult {
  bool Ended = false;  // started, and ended within the time limit
  DWORD ProcessId = 0;
  DWORD ExitCode = 0;
  LONGLONG StartTicks = 0;  // QueryPerformanceCounter just before the start
  LONGLONG EndTicks = 0;    // QueryPerformanceCounter when the wait for its end returned
  long long StartSeconds = 0;  // the clock in seconds since 1970, around the run (names its log)
  long long EndSeconds = 0;
  // Largest values seen while it ran. Wine cannot report them once the
  // process has ended, so they come from polling: PagefileUsage is the
  // private memory (resident anonymous pages under Wine).
  SIZE_T PeakPrivateBytes = 0;
  SIZE_T PeakWorkingSetBytes = 0;
};

// Starts the program with NUL as standard input and the given output
// handles, and waits at most ten minutes for it (then ends it).
TimedResult RunTimed(const TimedRequest& request);

LONGLONG Now();
double TicksToMilliseconds(LONGLONG ticks);

}  // namespace bench

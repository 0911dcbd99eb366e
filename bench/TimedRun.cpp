#include "bench/TimedRun.h"

#include <psapi.h>

#include <algorithm>
#include <ctime>

namespace bench {

namespace {

constexpr DWORD TimeLimitMs = 10 * 60 * 1000;

void SampleMemory(HANDLE process, TimedResult& result) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return;
  result.PeakPrivateBytes = std::max(result.PeakPrivateBytes, counters.PagefileUsage);
  result.PeakWorkingSetBytes = std::max(result.PeakWorkingSetBytes, counters.PeakWorkingSetSize);
}

DWORD WaitForEnd(HANDLE process, bool sampleMemory, TimedResult& result) {
  if (!sampleMemory) return WaitForSingleObject(process, TimeLimitMs);
  const ULONGLONG deadline = GetTickCount64() + TimeLimitMs;
  for (;;) {
    const DWORD wait = WaitForSingleObject(process, 1);
    if (wait != WAIT_TIMEOUT || GetTickCount64() >= deadline) return wait;
    SampleMemory(process, result);
  }
}

}  // namespace

LONGLONG Now() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

double TicksToMilliseconds(LONGLONG ticks) {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

TimedResult RunTimed(const TimedRequest& request) {
  TimedResult result;
  const mw::UniqueFileHandle input = programs::OpenInheritableForReading(L"NUL");
  programs::ProgramStart start;
  start.Program = request.Program;
  start.Arguments = request.Arguments;
  start.Handles = {input.Get(), request.Stdout, request.Stderr};
  start.EnvironmentBlock = programs::EnvironmentBlockWith(request.Environment);

  programs::StartedProgram started;
  result.StartSeconds = static_cast<long long>(std::time(nullptr));
  result.StartTicks = Now();
  if (programs::StartProgram(start, started) != 0) return result;
  const HANDLE process = started.Process.Get();
  result.ProcessId = started.ProcessId;
  const DWORD wait = WaitForEnd(process, request.SampleMemory, result);
  result.EndTicks = Now();
  result.EndSeconds = static_cast<long long>(std::time(nullptr));
  if (wait != WAIT_OBJECT_0) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    return result;
  }
  result.Ended = GetExitCodeProcess(process, &result.ExitCode) != FALSE;
  return result;
}

}  // namespace bench

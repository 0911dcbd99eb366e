#include "bench/TimedRun.h"

#include <psapi.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "base/UniqueHolder.h"

namespace bench {

namespace {

constexpr DWORD TimeLimitMs = 10 * 60 * 1000;

void SetSfxcmd(const std::optional<std::wstring>& value) {
  SetEnvironmentVariableW(L"SFXCMD", value ? value->c_str() : nullptr);
}

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
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const mw::UniqueFileHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                           OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.Get();
  startup.hStdOutput = request.Stdout;
  startup.hStdError = request.Stderr;

  std::wstring commandLine = L"\"" + request.Program + L"\"";
  if (!request.Arguments.empty()) commandLine += L" " + request.Arguments;
  std::vector<wchar_t> writableCommandLine(commandLine.begin(), commandLine.end());
  writableCommandLine.push_back(L'\0');
  SetSfxcmd(request.Sfxcmd);

  PROCESS_INFORMATION started{};
  result.StartSeconds = static_cast<long long>(std::time(nullptr));
  result.StartTicks = Now();
  if (!CreateProcessW(request.Program.c_str(), writableCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return result;
  }
  const mw::UniqueHandle process(started.hProcess);
  const mw::UniqueHandle thread(started.hThread);
  result.ProcessId = started.dwProcessId;
  const DWORD wait = WaitForEnd(process.Get(), request.SampleMemory, result);
  result.EndTicks = Now();
  result.EndSeconds = static_cast<long long>(std::time(nullptr));
  if (wait != WAIT_OBJECT_0) {
    TerminateProcess(process.Get(), 1);
    WaitForSingleObject(process.Get(), 10000);
    return result;
  }
  result.Ended = GetExitCodeProcess(process.Get(), &result.ExitCode) != FALSE;
  return result;
}

}  // namespace bench

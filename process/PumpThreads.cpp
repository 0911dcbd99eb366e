#include "process/PumpThreads.h"

#include <cstdio>
#include <iostream>

#include "log/Log.h"
#include "process/OutputPump.h"

namespace {

void CancelAndClose(mw::UniqueHandle& readEnd, const wchar_t* logFormat) {
  const BOOL cancelled = CancelIoEx(readEnd.Get(), nullptr);
  const DWORD error = GetLastError();
  WriteLog(logFormat, static_cast<int>(cancelled), static_cast<int>(error));
  readEnd.Close();
}

}  // namespace

void PumpThreads::Start() {
  // Each pump takes its read end once; StopPumps may close the field later.
  HANDLE stdoutRead = Tool.StdoutRead.Get();
  HANDLE stderrRead = Tool.StderrRead.Get();
  StdoutPump.Start([stdoutRead] { PumpOutput(stdoutRead, std::wcout, stdout, true); });
  StderrPump.Start([stderrRead] { PumpOutput(stderrRead, std::wcerr, stderr, false); });
}

void PumpThreads::StopPumps(bool cancel) {
  if (cancel) {
    CancelAndClose(Tool.StdoutRead, L"[INFO] CancelIoEx on stdout returned %d, err: %d.");
    CancelAndClose(Tool.StderrRead, L"[INFO] CancelIoEx on stderr returned %d, err: %d.");
  }
  WriteLog(L"[INFO] join stdout.");
  StdoutPump.Join(JoinMs);
  WriteLog(L"[INFO] join stderr.");
  StderrPump.Join(JoinMs);
  WriteLog(L"[INFO] END joins.");
}

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

void PumpThreads::Start(bool writeToolOutput, bool lookForMarker) {
  // Each pump takes its read end once; StopPumps may close the holder later.
  HANDLE stdoutRead = StdoutRead.Get();
  HANDLE stderrRead = StderrRead.Get();
  StdoutPump.Start([stdoutRead, writeToolOutput, lookForMarker] {
    PumpOutput(stdoutRead, PumpSettings{writeToolOutput, lookForMarker, std::wcout, stdout});
  });
  StderrPump.Start([stderrRead, writeToolOutput] {
    PumpOutput(stderrRead, PumpSettings{writeToolOutput, false, std::wcerr, stderr});
  });
}

void PumpThreads::StopPumps(bool cancel) {
  if (cancel) {
    CancelAndClose(StdoutRead, L"[INFO] CancelIoEx on stdout returned %d, err: %d.");
    CancelAndClose(StderrRead, L"[INFO] CancelIoEx on stderr returned %d, err: %d.");
  }
  WriteLog(L"[INFO] join stdout.");
  StdoutPump.Join(JoinMs);
  WriteLog(L"[INFO] join stderr.");
  StderrPump.Join(JoinMs);
  WriteLog(L"[INFO] END joins.");
}

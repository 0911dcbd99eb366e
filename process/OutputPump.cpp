#include "process/OutputPump.h"

#include <string>

#include "log/Log.h"
#include "process/ConsoleEcho.h"
#include "process/DetachSignal.h"
#include "process/PipeRead.h"
#include "process/ToolOutputLog.h"
#include "process/Utf8Decoder.h"

std::mutex OutputMutex;
DetachMarkerWindow CapturedStdout;

namespace {

void KeepInLog(const char* bytes, DWORD count) {
  ToolOutputLines lines;
  lines.Add(bytes, count);
  lines.Finish();
}

}  // namespace

void PumpOutput(HANDLE pipe, const PumpSettings& settings) {
  char buffer[PipeReadSize];
  Utf8Decoder decoder;
  ConsoleEcho echo(settings.Stream, settings.File);
  std::wstring text;
  // The signal is also asked before each read: a pump that goes back to its
  // pipe after the cancel has passed would block until the tool writes again.
  while (!DetachSignaled()) {
    DWORD count = 0;
    if (!ReadFile(pipe, buffer, PipeReadSize, &count, nullptr) || count == 0) break;
    if (DetachSignaled()) {
      // The launcher is leaving: this read is not shown, but the run's log keeps it.
      if (settings.WriteToolOutput) KeepInLog(buffer, count);
      return;
    }
    // Still drained when not shown, so the tool never blocks on a full pipe.
    if (!settings.WriteToolOutput) continue;

    const std::lock_guard lock(OutputMutex);
    if (settings.LookForMarker && CapturedStdout.Feed(buffer, count)) {
      WriteLog(L"[INFO] Message for detach found - event will be signaled.");
      SignalDetach();
    }
    decoder.Decode(buffer, count, text);
    echo.Write(text);
  }
  // The pipe ended: a sequence it cut short is still shown, byte by byte,
  // unless the launcher is leaving.
  if (!settings.WriteToolOutput || DetachSignaled()) return;
  const std::lock_guard lock(OutputMutex);
  decoder.Finish(text);
  echo.Write(text);
}

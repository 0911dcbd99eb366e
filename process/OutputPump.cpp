#include "process/OutputPump.h"

#include <string>

#include "log/Log.h"
#include "process/ConsoleEcho.h"
#include "process/PumpControl.h"
#include "process/Utf8Decoder.h"

std::mutex OutputMutex;
DetachMarkerWindow CapturedStdout;

namespace {

constexpr DWORD ReadSize = 4090;

}  // namespace

void PumpOutput(HANDLE pipe, std::wostream& stream, std::FILE* file, bool lookForMarker) {
  char buffer[ReadSize];
  Utf8Decoder decoder;
  ConsoleEcho echo(stream, file);
  std::wstring text;
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(pipe, buffer, ReadSize, &count, nullptr) || count == 0) break;
    if (DetachSignaled()) return;  // the launcher is leaving: this read is dropped
    // Still drained when not shown, so the tool never blocks on a full pipe.
    if (!WriteToolOutput) continue;

    const std::lock_guard lock(OutputMutex);
    if (lookForMarker && DetachRequested && CapturedStdout.Feed(buffer, count)) {
      WriteLog(L"[INFO] Message for detach found - event will be signaled.");
      SignalDetach();
    }
    decoder.Decode(buffer, count, text);
    echo.Write(text);
  }
  // The pipe ended: a sequence it cut short is still shown, byte by byte.
  if (!WriteToolOutput) return;
  const std::lock_guard lock(OutputMutex);
  decoder.Finish(text);
  echo.Write(text);
}

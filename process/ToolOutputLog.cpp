#include "process/ToolOutputLog.h"

#include "log/Log.h"
#include "process/PipeRead.h"

namespace {

constexpr DWORD CancelRepeatMs = 20;

void LogPipe(HANDLE pipe, bool writeToolOutput, ToolLineBudget& budget) {
  char buffer[PipeReadSize];
  ToolOutputLines lines(&budget);
  DWORD count = 0;
  while (ReadFile(pipe, buffer, PipeReadSize, &count, nullptr) && count != 0) {
    if (writeToolOutput) lines.Add(buffer, count);
  }
  if (writeToolOutput) lines.Finish();
}

}  // namespace

void ToolOutputLines::Add(const char* bytes, std::size_t count) {
  Decoder.Decode(bytes, count, Text);
  Take(Text);
}

void ToolOutputLines::Finish() {
  Decoder.Finish(Text);
  Take(Text);
  if (!Line.empty()) LogLine(0);
}

void ToolOutputLines::Take(const std::wstring& text) {
  for (const wchar_t character : text) {
    if (character == L'\n') {
      const bool crLf = !Line.empty() && Line.back() == L'\r';
      if (crLf) Line.pop_back();
      LogLine(crLf ? 2 : 1);
      continue;
    }
    // Only a line that goes on is cut, so a full one ending here leaves no empty piece.
    if (Line.size() == MaxLineLength) LogLine(0);
    Line.push_back(character);
  }
}

void ToolOutputLines::LogLine(std::size_t endBytes) {
  const std::wstring message = ToolLinePrefix + Line;
  if (Budget == nullptr || Budget->Take(LogLineBytes(message), Utf8Length(Line) + endBytes)) {
    WriteLog(L"%s", message.c_str());
  }
  Line.clear();
}

ToolOutputReaders::ToolOutputReaders() {
  for (Reader& reader : Readers) reader.Ended.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

DWORD ToolOutputReaders::Start(HANDLE stdoutRead, HANDLE stderrRead, bool writeToolOutput,
                                ToolLineBudget& budget) {
  Readers[0].Pipe = stdoutRead;
  Readers[1].Pipe = stderrRead;
  for (const Reader& reader : Readers) {
    if (!reader.Ended) return ERROR_NOT_ENOUGH_MEMORY;
  }
  DWORD firstError = 0;
  for (Reader& reader : Readers) {
    const HANDLE pipe = reader.Pipe;
    const HANDLE ended = reader.Ended.Get();
    const DWORD error = reader.Thread.Start([pipe, ended, writeToolOutput, &budget] {
      LogPipe(pipe, writeToolOutput, budget);
      SetEvent(ended);
    });
    // A reader that never ran has nothing for Finish to wait for.
    if (error != 0) SetEvent(ended);
    if (firstError == 0) firstError = error;
  }
  return firstError;
}

void ToolOutputReaders::Finish(DWORD drainMs, std::uint64_t joinMs) {
  if (!Readers[0].Ended || !Readers[1].Ended) return;
  const HANDLE ended[] = {Readers[0].Ended.Get(), Readers[1].Ended.Get()};
  if (WaitForMultipleObjects(2, ended, TRUE, drainMs) != WAIT_OBJECT_0) {
    // A cancel reaches only a read already pending, so it is repeated until
    // both readers are out, within the join's bound.
    const ULONGLONG deadline = GetTickCount64() + joinMs;
    do {
      for (const Reader& reader : Readers) CancelIoEx(reader.Pipe, nullptr);
    } while (WaitForMultipleObjects(2, ended, TRUE, CancelRepeatMs) != WAIT_OBJECT_0 && GetTickCount64() < deadline);
  }
  for (Reader& reader : Readers) reader.Thread.Join(joinMs);
}

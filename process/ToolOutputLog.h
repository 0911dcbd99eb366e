#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/ToolFileName.h"
#include "base/UniqueHolder.h"
#include "process/ToolLineBudget.h"
#include "process/Utf8Decoder.h"
#include "process/WorkerThread.h"

// Every line of the tool's output that the log keeps starts with this, after
// the level tag, so a reader tells the tool's words from the launcher's.
inline const std::wstring ToolLinePrefix = std::wstring(L"[INFO] ") + ToolFileName + L": ";

// Turns the tool's output bytes into log lines: split on LF (a CR before it
// dropped), decoded as the echo decodes them, one log line each. Memory stays
// bounded: a line longer than MaxLineLength is logged in pieces of that size.
// With a budget, only the lines it allows are written; the others are counted.
class ToolOutputLines {
 public:
  static constexpr std::size_t MaxLineLength = 4096;

  explicit ToolOutputLines(ToolLineBudget* budget = nullptr) : Budget(budget) {}

  // Logs every line these bytes complete.
  void Add(const char* bytes, std::size_t count);
  // Logs what is left: a last line without its LF, or a sequence cut short.
  void Finish();

 private:
  void Take(const std::wstring& text);
  // `endBytes`: the bytes the tool wrote to end the line (LF, CR LF or none).
  void LogLine(std::size_t endBytes);

  ToolLineBudget* Budget;
  Utf8Decoder Decoder;
  std::wstring Text;
  std::wstring Line;
};

// Reads both of the tool's output pipes to their end on worker threads of
// their own, keeping the tool's lines in the log or only draining them, so
// that the tool's writes never fail and never block. The pipe handles stay
// with their owner, who keeps them open until Finish has returned.
class ToolOutputReaders {
 public:
  ToolOutputReaders();

  // 0, or the error of a reader that could not start. Finish must follow
  // whatever it returned: a reader still held ends the program. With
  // writeToolOutput the lines go to the log, as many as the budget allows.
  DWORD Start(HANDLE stdoutRead, HANDLE stderrRead, bool writeToolOutput, ToolLineBudget& budget);

  // Once the tool has ended: waits up to drainMs for both pipes to end (a
  // process the tool started may still hold them), then cancels the reads
  // still pending, and joins both readers, at most joinMs each.
  void Finish(DWORD drainMs, std::uint64_t joinMs);

 private:
  struct Reader {
    HANDLE Pipe = nullptr;
    mw::UniqueHandle Ended;  // set when the reader's pipe ended or its read failed
    WorkerThread Thread;
  };

  Reader Readers[2];
};

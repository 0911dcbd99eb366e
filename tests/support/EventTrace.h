#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/programs/ProgramStart.h"
#include "tests/support/WineOutput.h"

namespace testing_support {

// Wine stores no event; it prints each ReportEventW call on a program's Unix
// standard error: the call (type, ID, string count) on the default fixme
// channel, each non-empty insertion string with +eventlog. The events are
// read back from this test program's own output (WineOutput).
struct ReportedEvent {
  WORD Type = 0;
  DWORD Id = 0;
  int StringCount = 0;
  std::vector<std::wstring> Strings;  // the non-empty ones, in order: Wine prints no empty one
};

// Marks where the trace stands now; events reported later are read from there.
class EventTrace {
 public:
  // The environment that makes a started program (and what it starts) print
  // its events, besides what it was already asked to print.
  static void Enable(programs::EnvironmentChanges& environment);

  // Whether this test program's output file is known and can be read back.
  bool Readable() const { return Output.Readable(); }

  // The events reported since this trace was made.
  std::vector<ReportedEvent> Events() const;
  // Those whose strings include `text` (a run's log path names its events);
  // polled until there are `count` of them or timeoutMs has passed.
  std::vector<ReportedEvent> WaitForEventsWith(const std::wstring& text, std::size_t count, DWORD timeoutMs) const;

 private:
  WineOutput Output;
};

}  // namespace testing_support

#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/programs/ProgramStart.h"

namespace testing_support {

// Wine stores no event; it prints each ReportEventW call on a program's Unix
// standard error: the call (type, ID, string count) on the default fixme
// channel, each non-empty insertion string with +eventlog. A program started
// from here writes that to this test program's own Unix standard error,
// which build/wine-run keeps in a file and names in MENDORA_TEST_OUTPUT: the
// events are read back from that file.
struct ReportedEvent {
  WORD Type = 0;
  DWORD Id = 0;
  int StringCount = 0;
  std::vector<std::wstring> Strings;  // the non-empty ones, in order: Wine prints no empty one
};

// Marks where the trace stands now; events reported later are read from there.
class EventTrace {
 public:
  EventTrace();

  // The environment that makes a started program (and what it starts) print its events.
  static void Enable(programs::EnvironmentChanges& environment);

  // Whether this test program's output file is known and can be read back.
  bool Readable() const { return Start >= 0; }

  // The events reported since this trace was made.
  std::vector<ReportedEvent> Events() const;
  // Those whose strings include `text` (a run's log path names its events);
  // polled until there are `count` of them or timeoutMs has passed.
  std::vector<ReportedEvent> WaitForEventsWith(const std::wstring& text, std::size_t count, DWORD timeoutMs) const;

 private:
  long long Start = -1;
};

}  // namespace testing_support

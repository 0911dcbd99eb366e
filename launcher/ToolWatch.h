#pragma once

#include <windows.h>

#include "base/UniqueHolder.h"
#include "launcher/RunEvents.h"
#include "launcher/WatchHandOver.h"

// What the launcher hands on when it ends before its tool (detach, time-out,
// failed wait), so that the tool's end still reaches the run's log, its
// record and the event log: the launcher's own image in its watch mode,
// hidden and detached from every console, inheriting nothing but the pipe
// that carries the hand-over (launcher/WatchRun.h).
class ToolWatch {
 public:
  ToolWatch() = default;
  ~ToolWatch();
  ToolWatch(const ToolWatch&) = delete;
  ToolWatch& operator=(const ToolWatch&) = delete;

  // Starts the watch suspended and duplicates into it the handles it needs:
  // the tool's process, the read ends of its pipes (before the launcher's own
  // are closed, so the pipes never lose their last reader), the log file, the
  // run record's key and the launcher's own process. False, with a warning
  // logged, when the watch cannot be had; the run goes on without it.
  bool Prepare(HANDLE toolProcess, HANDLE stdoutRead, HANDLE stderrRead, HKEY recordKey, const wchar_t* toolPath,
               bool keepToolLines, const RunFacts& facts);

  // Lets the prepared watch run and writes the hand-over to it.
  void HandOver();

 private:
  bool Duplicate(HANDLE handle, DWORD access, std::uint64_t& inWatch);

  mw::UniqueHandle Process;
  mw::UniqueHandle Thread;
  mw::UniqueHandle HandOverWrite;
  WatchHandOver Record{};
};

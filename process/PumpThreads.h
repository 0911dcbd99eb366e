#pragma once

#include <cstdint>

#include "base/UniqueHolder.h"
#include "process/WorkerThread.h"

// The two output pumps of a started tool, each on a worker thread of its own,
// over the read ends of the tool's pipes, which stay with their owner.
class PumpThreads {
 public:
  PumpThreads(mw::UniqueHandle& stdoutRead, mw::UniqueHandle& stderrRead, std::uint64_t joinMs)
      : StdoutRead(stdoutRead), StderrRead(stderrRead), JoinMs(joinMs) {}

  // Standard output first (it alone may look for the detach marker), then
  // standard error; each echoes to the launcher's stream of the same name.
  void Start(bool writeToolOutput, bool lookForMarker);

  // Joins both pumps, at most joinMs each, logging around the joins. With cancel,
  // first cancels their pending reads and closes the read ends, so that
  // pumps still reading end now; the tool's own end needs no cancel.
  void StopPumps(bool cancel);

 private:
  mw::UniqueHandle& StdoutRead;
  mw::UniqueHandle& StderrRead;
  std::uint64_t JoinMs;
  WorkerThread StdoutPump;
  WorkerThread StderrPump;
};

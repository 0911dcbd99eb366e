#pragma once

#include "process/ChildProcess.h"
#include "process/WorkerThread.h"

// The patching tool's process; the launcher sets no exit listener.
using ToolProcess = ChildProcess<void*>;

// The two output pumps of a started tool, each on a worker thread of its own.
class PumpThreads {
 public:
  PumpThreads(ToolProcess& tool, std::uint64_t joinMs) : Tool(tool), JoinMs(joinMs) {}

  // Standard output first (it alone looks for the detach marker), then standard error.
  void Start();

  // Joins both pumps, at most joinMs each, logging around the joins. With cancel,
  // first cancels their pending reads and closes the read ends, so that
  // pumps still reading end now; the tool's own end needs no cancel.
  void StopPumps(bool cancel);

 private:
  ToolProcess& Tool;
  std::uint64_t JoinMs;
  WorkerThread StdoutPump;
  WorkerThread StderrPump;
};
